// The command layer's side of the network projects: the one open network object, the opening
// of a project file through it, and the host services the network objects ask of the program
// (closing the project, the browse windows, the splash, the navigation).
#pragma once

#include "network/networkhost.h"
#include "network/networkproject.h"
#include "shell/projectopener.h"

#include <cstdint>
#include <memory>

// The open network object of either kind, or nullptr. NetworkProjectOpener sets it when a
// project opens or is made and clears it when the project closes.
CNetworkProject* CurrentNetwork();
// The same, shared: a caller keeps it alive through a step that may close the project.
std::shared_ptr<CNetworkProject> SharedNetwork();
// The open object, raising 91 when no project is open.
CNetworkProject& RequireNetwork();
// The kind of the open project: ntBackProp, ntSFam, or ntNone without one.
int32_t CurrentKind();
// The open object as its kind (CBackProp, CSFam), for the windows of one kind only; nullptr
// while none or the other kind is open.
template <class Kind>
std::shared_ptr<Kind> CurrentNetworkAs()
{
    return std::dynamic_pointer_cast<Kind>(SharedNetwork());
}
// Makes `project` the open object (nullptr: none). The opener's own; tests put theirs here.
void SetCurrentNetwork(std::shared_ptr<CNetworkProject> project);

// The program installs the opener into ProjectOpener and its HostService() into NetworkHost.
class NetworkProjectOpener final : public IProjectOpener {
public:
    NetworkProjectOpener() = default;
    // Its host keeps a reference into it.
    NetworkProjectOpener(const NetworkProjectOpener&) = delete;
    NetworkProjectOpener& operator=(const NetworkProjectOpener&) = delete;

    // Re-links a moved data file, tests the project file, reads the network kind and lets a
    // new network object of that kind open the project; then resumes at the project's
    // furthest workflow step.
    bool OpenProject(const QString& path) override;
    // Lets a new network object of the kind create the project file.
    bool NewProject(const QString& path, int32_t kind) override;
    // Saves the workflow flags into the project file and releases the network object.
    void CloseProject() override;
    QString ProjectFileName() const override;

    // The host services of the network objects, for NetworkHost.
    INetworkHost& HostService() { return m_host; }

private:
    class Host final : public INetworkHost {
    public:
        explicit Host(const bool& flagsLoaded) : m_flagsLoaded(flagsLoaded) {}
        void CloseProject() override;
        void CloseBrowsers() override;
        void HideSplash() override;
        std::optional<int32_t> NavigationStep() override;
        // gProcess, once the open project's flags were read (never the flags of another).
        const CProcess* WorkflowFlags() override;

    private:
        const bool& m_flagsLoaded;
    };
    bool m_flagsLoaded = false;
    Host m_host{m_flagsLoaded};
};
