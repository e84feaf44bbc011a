// The window of the log side that the node logic opens: the date filter that
// the Logs container shows the first time it is shown. The toolkit layer
// installs its implementation at start; until then (and in tests that install
// no double) the container treats the filter as cancelled and fetches nothing.
#pragma once

#include "platform/mmc/ConsoleInterfaces.h"

#include <string>

namespace zyr::console {

// What the filter dialog returns after OK. With allLogs the texts are empty;
// otherwise fromText is the From date and toText the day after the To date,
// both written "%d/%d/%d" as month, day and four-digit year (the server's
// To date is exclusive, so the chosen To day is included).
struct LogFilterChoice {
    bool allLogs = true;
    std::string fromText;
    std::string toText;
};

class LogUi {
public:
    virtual ~LogUi() = default;
    // Runs the filter dialog over parent; true after OK, with choice filled;
    // false after Cancel or when the dialog could not be shown (the base).
    virtual bool RunLogFilterDialog(HWND parent, LogFilterChoice& choice);
};

// The installed window; before any is installed, the base above.
LogUi& CurrentLogUi();
void SetLogUi(LogUi* ui); // not owned; null restores the default
void ResetLogUi();

} // namespace zyr::console
