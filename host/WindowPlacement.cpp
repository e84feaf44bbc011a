#include "host/WindowPlacement.h"

#include "platform/registry/Registry.h"

#include <QByteArrayList>

#include <vector>

namespace zyr::host {

namespace {

constexpr char kKey[] = "Software\\ZYR\\Security Manager\\Console";
constexpr char kColumnsKey[] = "Software\\ZYR\\Security Manager\\Console\\Columns";
// A width beyond any screen is no width the operator left.
constexpr int kMaxColumnWidth = 20000;
constexpr qsizetype kMaxKindName = 200;
// Far more than a geometry, a splitter state or a path takes.
constexpr DWORD kMaxValue = 4096;

QByteArray ReadBytes(HKEY key, const char* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_BINARY ||
        size == 0 || size > kMaxValue) {
        return {};
    }
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY) {
        return {};
    }
    bytes.resize(static_cast<qsizetype>(size));
    return bytes;
}

bool WriteBytes(HKEY key, const char* name, const QByteArray& bytes)
{
    return RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.constData()),
                          static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

// The value name of a kind of list: its titles, cut to a name's length.
QByteArray KindName(const QString& kind)
{
    return kind.left(kMaxKindName).toUtf8();
}

} // namespace

WindowPlacement LoadWindowPlacement()
{
    WindowPlacement placement;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return placement;
    }
    placement.geometry = ReadBytes(key, "Geometry");
    placement.splitter = ReadBytes(key, "Splitter");
    // The path is kept as UTF-16 bytes; an odd length is no path.
    const QByteArray path = ReadBytes(key, "LastItem");
    if (path.size() % 2 == 0) {
        placement.lastItem.assign(reinterpret_cast<const char16_t*>(path.constData()),
                                  static_cast<size_t>(path.size() / 2));
    }
    RegCloseKey(key);
    return placement;
}

bool SaveWindowPlacement(const WindowPlacement& placement)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const QByteArray path(reinterpret_cast<const char*>(placement.lastItem.data()),
                          static_cast<qsizetype>(placement.lastItem.size() * 2));
    const bool saved = WriteBytes(key, "Geometry", placement.geometry) &&
                       WriteBytes(key, "Splitter", placement.splitter) && WriteBytes(key, "LastItem", path);
    RegCloseKey(key);
    return saved;
}

std::vector<int> LoadColumnWidths(const QString& kind)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kColumnsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    const QByteArray text = ReadBytes(key, KindName(kind).constData());
    RegCloseKey(key);
    // Widths as decimal numbers joined by commas.
    std::vector<int> widths;
    for (const QByteArray& part : text.split(',')) {
        bool number = false;
        const int width = part.toInt(&number);
        if (!number || width <= 0 || width > kMaxColumnWidth) {
            return {};
        }
        widths.push_back(width);
    }
    return widths;
}

bool SaveColumnWidths(const QString& kind, const std::vector<int>& widths)
{
    QByteArrayList parts;
    for (int width : widths) {
        parts << QByteArray::number(width);
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kColumnsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const bool saved = WriteBytes(key, KindName(kind).constData(), parts.join(','));
    RegCloseKey(key);
    return saved;
}

} // namespace zyr::host
