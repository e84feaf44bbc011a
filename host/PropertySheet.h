// A property sheet: one window with a tab per page of the snap-in, and OK,
// Cancel and Apply. A page that refuses its apply keeps the sheet open on it.
#pragma once

#include "host/ConsoleSession.h"

#include <QDialog>

#include <vector>

class QDialogButtonBox;
class QPushButton;
class QTabWidget;

namespace zyr::host {

class PropertySheet : public QDialog, public IPropertySheetSite {
    Q_OBJECT
public:
    // Takes the pages of the request; they are released when the sheet ends.
    PropertySheet(ConsoleSession& session, SheetRequest request, QWidget* parent);
    ~PropertySheet() override;

    const Target& Concerns() const { return request_.target; }
    // Applies every page that was shown; false (and the refusing page shown) when one refuses.
    bool ApplyAll();
    QPushButton* ApplyButton() const;
    QTabWidget* Tabs() const { return tabs_; }

    // IPropertySheetSite
    void PageChanged(IPropertyPage* page) override;
    HWND SheetWindow() override { return static_cast<QWidget*>(this); }

public slots:
    void accept() override;
    void reject() override;

private:
    void End();
    // The page at index becomes the current tab.
    void Show(int index);

    ConsoleSession& session_;
    SheetRequest request_;
    QTabWidget* tabs_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    std::vector<bool> shown_;
    bool ended_ = false;
};

} // namespace zyr::host
