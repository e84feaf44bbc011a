#include "tools/zyrsec/CliUi.h"

#include "tools/zyrsec/TextTable.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace zyr::zyrsec {

namespace {

bool IsQuestion(unsigned style)
{
    const unsigned type = style & zyr::ui::MB_TYPEMASK;
    return type == zyr::ui::MB_YESNO || type == zyr::ui::MB_YESNOCANCEL || type == zyr::ui::MB_OKCANCEL;
}

int YesAnswer(unsigned style)
{
    return (style & zyr::ui::MB_TYPEMASK) == zyr::ui::MB_OKCANCEL ? zyr::ui::IDOK : zyr::ui::IDYES;
}

int NoAnswer(unsigned style)
{
    return (style & zyr::ui::MB_TYPEMASK) == zyr::ui::MB_OKCANCEL ? zyr::ui::IDCANCEL : zyr::ui::IDNO;
}

bool ReadTerminalLine(int fd, std::string& line)
{
    line.clear();
    char c = 0;
    while (true) {
        ssize_t n = ::read(fd, &c, 1);
        if (n <= 0) {
            return !line.empty();
        }
        if (c == '\n') {
            return true;
        }
        line.push_back(c);
    }
}

} // namespace

CliUi::CliUi(bool answerYes, bool interactive, std::FILE* errors, AskLine ask)
    : answerYes_(answerYes), interactive_(interactive), errors_(errors), ask_(std::move(ask))
{
    if (!ask_) {
        ask_ = AskTerminal;
    }
}

int CliUi::MessageBox(zyr::ui::OwnerWindow, const std::string& text, const std::string& caption,
                      unsigned style)
{
    Message message{text, caption, style, zyr::ui::IDOK};
    // Messages name records as the server sent them.
    const std::string shown = EscapeControls(text);
    if (!IsQuestion(style)) {
        std::fprintf(errors_, "%s\n", shown.c_str());
    } else if (answerYes_) {
        std::fprintf(errors_, "%s\n(answered Yes: --yes)\n", shown.c_str());
        message.answer = YesAnswer(style);
    } else if (interactive_) {
        std::string line;
        const bool answered = ask_(shown + " [y/N] ", line);
        message.answer = answered && (line == "y" || line == "Y" || line == "yes" || line == "Yes")
                             ? YesAnswer(style)
                             : NoAnswer(style);
    } else {
        std::fprintf(errors_, "%s\n(refused: no terminal to ask; give --yes to answer Yes)\n", shown.c_str());
        message.answer = NoAnswer(style);
        questionRefused_ = true;
    }
    std::fflush(errors_);
    messages_.push_back(message);
    return message.answer;
}

bool AskTerminal(const std::string& prompt, std::string& line)
{
    int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ssize_t ignored = ::write(fd, prompt.data(), prompt.size());
    (void)ignored;
    bool ok = ReadTerminalLine(fd, line);
    ::close(fd);
    return ok;
}

bool ReadPasswordFromTerminal(const std::string& prompt, std::string& password)
{
    int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    termios old{};
    const bool haveTerminal = ::tcgetattr(fd, &old) == 0;
    if (haveTerminal) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ssize_t ignored = ::write(fd, prompt.data(), prompt.size());
    bool ok = ReadTerminalLine(fd, password);
    if (haveTerminal) {
        ::tcsetattr(fd, TCSAFLUSH, &old);
    }
    ignored = ::write(fd, "\n", 1);
    (void)ignored;
    ::close(fd);
    return ok;
}

} // namespace zyr::zyrsec
