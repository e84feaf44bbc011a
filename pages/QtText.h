// Texts between the records' code page and the toolkit's strings.
#pragma once

#include "platform/text/CodePage.h"

#include <QString>

#include <string>
#include <string_view>

namespace zyr::pages {

inline QString ToQString(std::string_view bytes)
{
    return QString::fromStdU16String(zyr::text::Widen(bytes));
}

inline std::string FromQString(const QString& text)
{
    return zyr::text::Narrow(text.toStdU16String());
}

} // namespace zyr::pages
