// What the network projects ask of the program around them: closing the open project,
// closing the browse windows, hiding the splash window and the workflow step and flags to save. The
// shell installs the real host; without one every request does nothing (tests fake it).
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class CProcess;
namespace kdb {
class Database;
}

class INetworkHost {
public:
    virtual ~INetworkHost() = default;
    // Closes the open project (the File Close command). Called from inside the network
    // object's own member while a project is being opened: the host may drop its reference,
    // but the object must stay alive until that member returns (hold it in a local shared
    // pointer around Initialize, or release it later).
    virtual void CloseProject() {}
    // Unloads every browse window, so that none holds the project file open.
    virtual void CloseBrowsers() {}
    // Hides the splash window when it is up, so that no message box opens behind it.
    virtual void HideSplash() {}
    // The remembered workflow step, which the project writes into its Config row 'Navigate'
    // together with its settings; none leaves the row as it is.
    virtual std::optional<int32_t> NavigationStep() { return std::nullopt; }
    // The workflow flags of the open project, which the project writes into its Config row
    // 'Process' in the same transaction; none leaves the row as it is.
    virtual const CProcess* WorkflowFlags() { return nullptr; }
};

namespace NetworkHost {
// Installs `host` (not owned) and returns the one it replaces; nullptr restores the default.
INetworkHost* Install(INetworkHost* host);
INetworkHost& Current();
// Config 'Navigate' and 'Process' from the current host's workflow step and flags, when it has
// them. Raises.
void WriteNavigation(kdb::Database& db);
}
