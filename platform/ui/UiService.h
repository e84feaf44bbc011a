// The user-interface service: every message box, wait cursor and file dialog
// of the layers below the console goes through it. The console host installs
// its Qt implementation at start; tests install a RecordingUiService that
// records every box and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace zyr::ui {

// Message box styles and answers, with their Windows values.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONMASK = 0xF0;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The window that owns a box: null for boxes raised by data operations.
using OwnerWindow = void*;

struct FileDialog {
    std::string title;
    std::string filter;      // "XML Files (*.xml)|*.xml|All Files (*.*)|*.*|"
    std::string defaultExt;  // without the dot
    std::string initialName; // proposed file name
    bool overwritePrompt = true;
};

class UiService {
public:
    virtual ~UiService() = default;
    // Texts are in the configured code page. Returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(OwnerWindow owner, const std::string& text, const std::string& caption,
                           unsigned style) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // True with the chosen path; false when the operator cancelled.
    virtual bool GetOpenFileName(OwnerWindow owner, const FileDialog& dialog, std::string& path) = 0;
    virtual bool GetSaveFileName(OwnerWindow owner, const FileDialog& dialog, std::string& path) = 0;
};

// The installed service; before any is installed, a console service that writes
// boxes to standard error and answers each with its default button.
UiService& Ui();
void InstallUiService(UiService* service); // not owned; null restores the default
void ResetUiService();

// Holds the wait cursor for its lifetime.
class WaitCursor {
public:
    WaitCursor() { Ui().BeginWaitCursor(); }
    ~WaitCursor() { Ui().EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// A service for tests: records every box and dialog and answers from scripts.
class RecordingUiService : public UiService {
public:
    struct Box {
        OwnerWindow owner = nullptr;
        std::string text;
        std::string caption;
        unsigned style = 0;
    };

    int MessageBox(OwnerWindow owner, const std::string& text, const std::string& caption,
                   unsigned style) override;
    void BeginWaitCursor() override
    {
        ++waitCursorDepth;
        ++waitCursorCount;
    }
    void EndWaitCursor() override { --waitCursorDepth; }
    bool GetOpenFileName(OwnerWindow owner, const FileDialog& dialog, std::string& path) override;
    bool GetSaveFileName(OwnerWindow owner, const FileDialog& dialog, std::string& path) override;

    // Answers for the next boxes, in order; without one a box gets IDOK for
    // MB_OK and MB_OKCANCEL, IDYES for MB_YESNO and MB_YESNOCANCEL.
    std::deque<int> answers;
    // Paths for the next file dialogs; an empty entry means cancel, and so
    // does an empty queue.
    std::deque<std::string> openPaths;
    std::deque<std::string> savePaths;

    std::vector<Box> boxes;
    std::vector<FileDialog> openDialogs;
    std::vector<FileDialog> saveDialogs;
    int waitCursorDepth = 0;
    int waitCursorCount = 0;
};

// Installs a RecordingUiService for the lifetime of the scope.
class ScopedRecordingUi {
public:
    ScopedRecordingUi() { InstallUiService(&recorder); }
    ~ScopedRecordingUi() { ResetUiService(); }
    ScopedRecordingUi(const ScopedRecordingUi&) = delete;
    ScopedRecordingUi& operator=(const ScopedRecordingUi&) = delete;
    RecordingUiService recorder;
};

} // namespace zyr::ui
