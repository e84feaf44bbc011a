#include "host/HostOptions.h"

namespace zyr::host {

const char* HostUsage()
{
    return "usage: zyr-security-manager [--snapin {CLSID}] [--select PATH [--row NAME]] [--screenshot FILE]\n"
           "                            [--open properties|about|help|menu:CAPTION [--press CAPTION]]\n"
           "  --snapin {CLSID}   load this stand-alone snap-in instead of \"ZYR Security Manager\"\n"
           "  --select PATH      select the item of this path of display names (Root/Child)\n"
           "  --row NAME         then select the row of its list whose first column is NAME\n"
           "  --screenshot FILE  write a PNG of the window after start-up and exit; the\n"
           "                     dialogs met and the windows open beside it go into\n"
           "                     FILE-NAME.png (the sign-in is answered with its default\n"
           "                     button, every later dialog is cancelled)\n"
           "  --open WHAT        open the selected item's properties, About, Help, or run\n"
           "                     its menu command of that caption\n"
           "  --press CAPTION    then press the button of that caption on the window opened\n"
           "  --help             this text\n"
           "  --version          the program's version\n";
}

bool ParseHostOptions(const QStringList& arguments, HostOptions& options, QString& error)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        auto value = [&](QString& out) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(argument);
                return false;
            }
            out = arguments[++i];
            return true;
        };
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--snapin")) {
            QString text;
            if (!value(text)) {
                return false;
            }
            if (!zyr::com::GuidFromString(text.toStdString(), options.clsid, true)) {
                error = QStringLiteral("not a CLSID: %1").arg(text);
                return false;
            }
            options.hasClsid = true;
        } else if (argument == QLatin1String("--select")) {
            if (!value(options.select)) {
                return false;
            }
        } else if (argument == QLatin1String("--row")) {
            if (!value(options.row)) {
                return false;
            }
        } else if (argument == QLatin1String("--screenshot")) {
            if (!value(options.screenshot)) {
                return false;
            }
        } else if (argument == QLatin1String("--press")) {
            if (!value(options.press)) {
                return false;
            }
        } else if (argument == QLatin1String("--open")) {
            if (!value(options.open)) {
                return false;
            }
            const bool menu = options.open.startsWith(QLatin1String("menu:")) && options.open.size() > 5;
            if (!menu && options.open != QLatin1String("properties") &&
                options.open != QLatin1String("about") && options.open != QLatin1String("help")) {
                error = QStringLiteral("--open takes properties, about, help or menu:CAPTION, not %1")
                            .arg(options.open);
                return false;
            }
        } else {
            error = QStringLiteral("unknown argument %1").arg(argument);
            return false;
        }
    }
    return true;
}

} // namespace zyr::host
