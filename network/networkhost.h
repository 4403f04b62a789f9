// What the network projects ask of the program around them: closing the open project, closing
// the browse windows and hiding the splash window. The program installs the real host
// (app/wiring.cpp); without one every request does nothing (tests fake it).
#pragma once

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
};

namespace NetworkHost {
// Installs `host` (not owned) and returns the one it replaces; nullptr restores the default.
INetworkHost* Install(INetworkHost* host);
INetworkHost& Current();
}
