// The steps of start-up that belong to other layers: the sign-in dialog, the
// status window, the loading of the role list and the root's compliance page.
// The layers above install their implementation at start; each step of this
// base is skipped, but for the sign-in: without one, nobody is signed in and
// no tree is shown.
#pragma once

#include "platform/mmc/ConsoleInterfaces.h"

#include <memory>
#include <string_view>

namespace zyr::console {

// The modeless window that shows the steps of start-up.
class StatusWindow {
public:
    virtual ~StatusWindow() = default;
    virtual void ShowStep(std::string_view text) = 0;
};

class StartupHooks {
public:
    virtual ~StartupHooks() = default;
    // Runs the sign-in dialog over parent; true when it ended with OK. The
    // base says that no sign-in is installed and answers false.
    virtual bool SignIn(HWND parent);
    // Opens the status window over parent; null when it cannot be shown.
    virtual std::unique_ptr<StatusWindow> OpenStatusWindow(HWND parent);
    // Creates the role list, hands it to the application object and fetches
    // the roles.
    virtual void LoadRoles() {}
    // Hands the root's compliance page, with the console's notify handle, to
    // the sheet; S_OK when no page is offered.
    virtual HRESULT AddCompliancePage(IPropertySheetCallback* callback, LONG_PTR notifyHandle);
};

// The installed steps; before any are installed, the base above.
StartupHooks& CurrentStartupHooks();
void SetStartupHooks(StartupHooks* hooks); // not owned; null restores the default

// Set once a sign-in has succeeded in this process; never cleared but by Reset.
bool IsSignedIn();
void SetSignedIn();

// The default steps and not signed in (tests).
void ResetStartupState();

} // namespace zyr::console
