// Where the administrator left the console window, kept per user in the
// user hive: the window's geometry, the split between tree and pane, the
// path of the item last shown, and the widths of the result columns for each
// kind of list (known by its column titles).
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

namespace zyr::host {

struct WindowPlacement {
    QByteArray geometry;
    QByteArray splitter;
    std::u16string lastItem; // names joined by "/", as FindByPath takes them
};

// An empty placement when none was kept or it cannot be read.
WindowPlacement LoadWindowPlacement();
bool SaveWindowPlacement(const WindowPlacement& placement);

// Empty when none were kept for the kind, or what was kept is not widths.
std::vector<int> LoadColumnWidths(const QString& kind);
bool SaveColumnWidths(const QString& kind, const std::vector<int>& widths);

} // namespace zyr::host
