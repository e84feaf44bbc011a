// The steps of start-up that belong to other layers: the sign-in dialog, the
// status window and the loading of the role list. Each stays empty until its
// layer installs it; an empty step is skipped (no sign-in counts as signed in).
#pragma once

#include "platform/mmc/ConsoleTypes.h"

#include <memory>
#include <string_view>

namespace zyr::console {

// The modeless window that shows the steps of start-up.
class StatusWindow {
public:
    virtual ~StatusWindow() = default;
    virtual void ShowStep(std::string_view text) = 0;
};

struct StartupHooks {
    // Runs the sign-in dialog over parent; true when it ended with OK.
    bool (*signIn)(HWND parent) = nullptr;
    // Opens the status window over parent; null when it cannot be shown.
    std::unique_ptr<StatusWindow> (*openStatusWindow)(HWND parent) = nullptr;
    // Creates the role list, hands it to the application object and fetches
    // the roles.
    void (*loadRoles)() = nullptr;
};

void SetStartupHooks(const StartupHooks& hooks);
const StartupHooks& CurrentStartupHooks();

// Set once a sign-in has succeeded in this process; never cleared but by Reset.
bool IsSignedIn();
void SetSignedIn();

// Empty hooks and not signed in (tests).
void ResetStartupState();

} // namespace zyr::console
