// The command layer's side of the network projects: the one open network object (gBackProp or
// gSFam), the opening of a project file through it, and the host services the network objects
// ask of the program (closing the project, the browse windows, the splash, the navigation).
#pragma once

#include "network/networkhost.h"
#include "shell/projectopener.h"

#include <cstdint>
#include <memory>

class CBackProp;
class CSFam;
class CNetworkProject;

// At most one of the two is set while a project is open.
std::shared_ptr<CBackProp>& gBackProp();
std::shared_ptr<CSFam>& gSFam();
// The open network object of either kind, or nullptr.
CNetworkProject* CurrentNetwork();

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
