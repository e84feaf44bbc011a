// The base of every property page: the object the host's sheet shows as a
// tab and releases when it closes. The derived page T builds its widget and
// applies its changes:
//
//   QWidget* CreatePage(QWidget* parent);   // the page's controls
//   BOOL Apply();                           // PSN_APPLY: TRUE closes or applies
//
// The page object lives until the sheet calls Release; it keeps the notify
// handle it was given and never frees it.
#pragma once

#include "console/framework/OpenPages.h"
#include "platform/mmc/ConsoleInterfaces.h"

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QTextEdit>
#include <QWidget>

#include <memory>
#include <string>

template <typename T>
class CSnapInPropertyPageImpl : public IPropertyPage {
public:
    explicit CSnapInPropertyPageImpl(std::u16string title = {}, LONG_PTR notifyHandle = 0)
        : m_lNotifyHandle(notifyHandle), title_(std::move(title))
    {
        zyr::console::PageOpened();
    }
    virtual ~CSnapInPropertyPageImpl() { zyr::console::PageClosed(); }
    CSnapInPropertyPageImpl(const CSnapInPropertyPageImpl&) = delete;
    CSnapInPropertyPageImpl& operator=(const CSnapInPropertyPageImpl&) = delete;

    std::u16string_view Title() override { return title_; }

    HWND CreatePageWindow(HWND parent, IPropertySheetSite* site) override
    {
        site_ = site;
        widget_ = static_cast<T*>(this)->CreatePage(static_cast<QWidget*>(parent));
        return widget_.data();
    }

    BOOL OnApply() override { return static_cast<T*>(this)->Apply(); }

    // The sheet is done with the page.
    void Release() override { delete static_cast<T*>(this); }

    // PSM_CHANGED: tells the sheet the page has changes (enables Apply).
    void SetModified()
    {
        if (site_ != nullptr) {
            site_->PageChanged(this);
        }
    }

    // EN_CHANGE of an edit control marks the page changed.
    void MarkChangedOnEdit(QLineEdit* edit)
    {
        QObject::connect(edit, &QLineEdit::textEdited, guard_.get(), [this] { SetModified(); });
    }
    void MarkChangedOnEdit(QTextEdit* edit)
    {
        QObject::connect(edit, &QTextEdit::textChanged, guard_.get(), [this] { SetModified(); });
    }

    QWidget* PageWidget() const { return widget_.data(); }
    // The window that owns the page's message boxes.
    HWND OwnerWindow() const { return widget_.data(); }

    LONG_PTR m_lNotifyHandle;

private:
    std::u16string title_;
    IPropertySheetSite* site_ = nullptr;
    QPointer<QWidget> widget_;
    // Context of the page's connections: they end with the page object.
    std::unique_ptr<QObject> guard_ = std::make_unique<QObject>();
};
