#include "platform/ui/UiService.h"

#include <cstdio>

namespace zyr::ui {
namespace {

int DefaultAnswer(unsigned style)
{
    switch (style & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDYES;
    default:
        return IDOK;
    }
}

// Without a window system, boxes go to standard error and take their default
// button, so that nothing blocks on an answer that no one can give.
class ConsoleUiService : public UiService {
public:
    int MessageBox(OwnerWindow, const std::string& text, const std::string& caption, unsigned style) override
    {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return DefaultAnswer(style);
    }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    bool GetOpenFileName(OwnerWindow, const FileDialog&, std::string&) override { return false; }
    bool GetSaveFileName(OwnerWindow, const FileDialog&, std::string&) override { return false; }
};

ConsoleUiService g_consoleService;
UiService* g_service = nullptr;

bool NextPath(std::deque<std::string>& queue, std::string& path)
{
    if (queue.empty()) {
        return false;
    }
    path = queue.front();
    queue.pop_front();
    return !path.empty();
}

} // namespace

UiService& Ui()
{
    return g_service ? *g_service : g_consoleService;
}

void InstallUiService(UiService* service)
{
    g_service = service;
}

void ResetUiService()
{
    g_service = nullptr;
}

int RecordingUiService::MessageBox(OwnerWindow owner, const std::string& text, const std::string& caption,
                                   unsigned style)
{
    boxes.push_back({owner, text, caption, style});
    if (answers.empty()) {
        return DefaultAnswer(style);
    }
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

bool RecordingUiService::GetOpenFileName(OwnerWindow, const FileDialog& dialog, std::string& path)
{
    openDialogs.push_back(dialog);
    return NextPath(openPaths, path);
}

bool RecordingUiService::GetSaveFileName(OwnerWindow, const FileDialog& dialog, std::string& path)
{
    saveDialogs.push_back(dialog);
    return NextPath(savePaths, path);
}

} // namespace zyr::ui
