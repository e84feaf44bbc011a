// Where the administrator left the console window, kept per user in the
// user hive: the window's geometry, the split between tree and pane, and the
// path of the item last shown.
#pragma once

#include <QByteArray>

#include <string>

namespace zyr::host {

struct WindowPlacement {
    QByteArray geometry;
    QByteArray splitter;
    std::u16string lastItem; // names joined by "/", as FindByPath takes them
};

// An empty placement when none was kept or it cannot be read.
WindowPlacement LoadWindowPlacement();
bool SaveWindowPlacement(const WindowPlacement& placement);

} // namespace zyr::host
