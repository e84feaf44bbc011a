// The command line of the console host.
#pragma once

#include "platform/com/Guid.h"

#include <QString>
#include <QStringList>

#include <string>

namespace zyr::host {

struct HostOptions {
    // The NameString of the snap-in to load unless a CLSID is given.
    std::u16string snapinName = u"ZYR Security Manager";
    bool hasClsid = false;
    CLSID clsid{};
    QString select;     // path of display names, "Root/Child"
    QString row;        // then the result row whose first column reads so
    QString screenshot; // PNG to write after start-up; then exit
    // What to open over the selected item before the screenshot:
    // "properties", "about", "help" or "menu:CAPTION" (the item's menu
    // command of that caption, mnemonics left out); empty for nothing.
    QString open;
    // Then the button of this caption (mnemonics left out) on the window
    // opened, a sheet turned to the tab that holds it; empty for none.
    QString press;
    bool help = false;
};

// arguments as QCoreApplication::arguments() gives them (program first).
bool ParseHostOptions(const QStringList& arguments, HostOptions& options, QString& error);
const char* HostUsage();

} // namespace zyr::host
