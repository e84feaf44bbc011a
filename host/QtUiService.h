// The UI service over Qt widgets: message boxes with their icons and buttons,
// the wait cursor, and the open and save file dialogs.
#pragma once

#include "platform/ui/UiService.h"

#include <QString>

namespace zyr::host {

class QtUiService : public zyr::ui::UiService {
public:
    int MessageBox(zyr::ui::OwnerWindow owner, const std::string& text, const std::string& caption,
                   unsigned style) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    bool GetOpenFileName(zyr::ui::OwnerWindow owner, const zyr::ui::FileDialog& dialog,
                         std::string& path) override;
    bool GetSaveFileName(zyr::ui::OwnerWindow owner, const zyr::ui::FileDialog& dialog,
                         std::string& path) override;

private:
    int waitDepth_ = 0;
};

// Installs one QtUiService for the process (the console calls this at start).
void InstallQtUiService();

// "XML Files (*.xml)|*.xml|All Files (*.*)|*.*|" as Qt name filters
// ("XML Files (*.xml)", "All Files (*.*)"); a filter without a pattern in its
// name gets the pattern appended.
QStringList NameFiltersOf(const std::string& filter);

// Texts in the configured code page as QString and back.
QString FromCodePage(const std::string& text);
std::string ToCodePage(const QString& text);

} // namespace zyr::host
