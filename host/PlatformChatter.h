// Qt's platform chatter: notices of the platform plugin (offscreen, xcb,
// wayland) about features it lacks or states it passes through, which say
// nothing an administrator could act on and bury the lines that matter.
#pragma once

#include <QString>
#include <QtGlobal>

namespace zyr::host {

// True for a debug, information or warning message of the "qt.qpa" categories,
// and for the plugin's "This plugin does not support ..." warnings, which Qt
// files under the default category. Critical and fatal messages always pass.
bool IsPlatformChatter(QtMsgType type, const char* category, const QString& text);

// Installs a message handler that drops platform chatter and hands every
// other message to the handler installed before.
void FilterPlatformChatter();

} // namespace zyr::host
