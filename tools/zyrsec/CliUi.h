// The user-interface service of the command line: the boxes that the console
// shows go to standard error with their text, and every box is kept so that
// --json output can carry it. A question (Yes and No) is answered Yes with
// --yes, asked on a terminal, and refused (No) in a script.
#pragma once

#include "platform/ui/UiService.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace zyr::zyrsec {

class CliUi : public zyr::ui::UiService {
public:
    struct Message {
        std::string text;
        std::string caption;
        unsigned style = 0;
        int answer = 0;
    };

    // Reads one answer line from the terminal; false when there is none.
    using AskLine = std::function<bool(const std::string& prompt, std::string& line)>;

    CliUi(bool answerYes, bool interactive, std::FILE* errors, AskLine ask = {});

    int MessageBox(zyr::ui::OwnerWindow owner, const std::string& text, const std::string& caption,
                   unsigned style) override;
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    // The tool always names its files; a file dialog counts as cancelled.
    bool GetOpenFileName(zyr::ui::OwnerWindow, const zyr::ui::FileDialog&, std::string&) override
    {
        return false;
    }
    bool GetSaveFileName(zyr::ui::OwnerWindow, const zyr::ui::FileDialog&, std::string&) override
    {
        return false;
    }

    const std::vector<Message>& Messages() const { return messages_; }
    // True when a question was refused because nobody could answer it.
    bool QuestionRefused() const { return questionRefused_; }

private:
    bool answerYes_;
    bool interactive_;
    std::FILE* errors_;
    AskLine ask_;
    std::vector<Message> messages_;
    bool questionRefused_ = false;
};

// Reads a line from the terminal (/dev/tty) after writing prompt to it.
bool AskTerminal(const std::string& prompt, std::string& line);
// Reads a password from the terminal without echo; false without a terminal.
bool ReadPasswordFromTerminal(const std::string& prompt, std::string& password);

} // namespace zyr::zyrsec
