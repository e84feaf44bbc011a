#include "host/PlatformChatter.h"

#include <cstring>

namespace zyr::host {

namespace {

QtMessageHandler previousHandler = nullptr;

void FilteringHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (IsPlatformChatter(type, context.category, text)) {
        return;
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, text);
    }
}

} // namespace

bool IsPlatformChatter(QtMsgType type, const char* category, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        return false;
    }
    const char* name = category != nullptr ? category : "default";
    if (std::strncmp(name, "qt.qpa", 6) == 0 && (name[6] == '\0' || name[6] == '.')) {
        return true;
    }
    return type == QtWarningMsg && std::strcmp(name, "default") == 0 &&
           text.startsWith(QStringLiteral("This plugin does not support"));
}

void FilterPlatformChatter()
{
    QtMessageHandler previous = qInstallMessageHandler(FilteringHandler);
    if (previous != FilteringHandler) {
        previousHandler = previous;
    }
}

} // namespace zyr::host
