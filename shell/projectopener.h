// The hook through which the command layer opens and closes project files: the network
// project classes install the opener; without one, no project can be opened.
#pragma once

#include <QString>
#include <cstdint>

class IProjectOpener {
public:
    virtual ~IProjectOpener() = default;
    // Opens an existing project file whose extension and existence have been checked and
    // after the previous project was closed. Shows its own messages; answers whether a project
    // is open afterwards.
    virtual bool OpenProject(const QString& path) = 0;
    // Creates a new project of the kind (1 SFAM, 2 back-propagation) at path, which does not
    // exist, after the previous project was closed. Shows its own messages; answers whether the
    // new project is open afterwards (false: nothing of it is left in use).
    virtual bool NewProject(const QString& path, int32_t kind)
    {
        (void)path;
        (void)kind;
        return false;
    }
    // Saves what the open project keeps and releases it; harmless when none is open.
    virtual void CloseProject() = 0;
    // The open project's file, empty when none is open.
    virtual QString ProjectFileName() const = 0;
};

namespace ProjectOpener {
// Installs `opener` (not owned) and returns the one it replaces; nullptr removes it.
IProjectOpener* Install(IProjectOpener* opener);
IProjectOpener* Current();
}
