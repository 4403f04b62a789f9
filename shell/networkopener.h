// The command layer's side of the network projects: the one open network object and the opening
// of a project file through it.
#pragma once

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

// The program installs the opener into ProjectOpener. It tells gProcess whether its flags are
// the open project's (read from its file, or made with it).
class NetworkProjectOpener final : public IProjectOpener {
public:
    // Re-links a moved data file, tests the project file, reads the network kind and lets a
    // new network object of that kind open the project; then resumes at the project's
    // furthest workflow step.
    bool OpenProject(const QString& path) override;
    // Lets a new network object of the kind create the project file.
    bool NewProject(const QString& path, int32_t kind) override;
    // Saves the workflow flags into the project file and releases the network object.
    void CloseProject() override;
    QString ProjectFileName() const override;
};
