// The modeless status window of start-up (resource 207): one line telling
// which step runs. It is repainted between the steps, which block the user
// interface thread.
#pragma once

#include "console/framework/StartupHooks.h"
#include "platform/mmc/ConsoleTypes.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <string>

class QLabel;

class CStatusDlg : public zyr::console::StatusWindow {
public:
    static constexpr int IDD = 207;

    ~CStatusDlg() override;

    // Creates and shows the window over parent; null without a toolkit.
    static std::unique_ptr<CStatusDlg> Open(HWND parent);

    // Sets the text of static 314 and lets the window repaint.
    void ShowStep(std::string_view text) override;

    const std::string& Text() const { return m_strStatus; }
    QDialog* Dialog() const { return dialog_.data(); }

private:
    CStatusDlg() = default;

    std::string m_strStatus;
    QPointer<QDialog> dialog_;
    QLabel* status_ = nullptr;
};
