// The permissions page of an application (dialog 271): the named permission
// bits the application knows. Add, Update and Delete change only the page;
// an apply rewrites the application's permission list and sends it with the
// audit text of the permissions that went and came.
#pragma once

#include "pages/SnapInPropertyPageImpl.h"
#include "platform/ui/UiService.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>

class CKVTAppl;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CPermPage : public CSnapInPropertyPageImpl<CPermPage> {
public:
    static constexpr int IDD = 271;
    // The bits the value combo offers: 2^0 to 2^30.
    static constexpr int kOfferedBits = 31;
    static constexpr const char* kDeleteWarning =
        "Please uncheck this permission from the properties of the application, groups and objects before "
        "delete.\nOtherwise the permission with the same bit value may still be granted after it is deleted "
        "or added back.\nDo you want to proceed to delete this permission?";

    CPermPage(LONG_PTR notifyHandle, CKVTAppl* application);

    QWidget* CreatePage(QWidget* parent);
    // PSN_APPLY: TRUE once the update was sent; FALSE when the audit trail
    // refuses the change.
    BOOL Apply();

    // The buttons Add (293), Update (302) and Delete (301).
    void OnAdd();
    void OnUpdate();
    void OnDelete();

    QTreeWidget* PermissionList() const { return list_; }
    QLineEdit* NameEdit() const { return name_; }
    QComboBox* ValueCombo() const { return values_; }

private:
    void Fill();
    // The entered name when it may be used: not empty, no reserved
    // characters, no other item of that name (without regard to case).
    bool CheckName(const QTreeWidgetItem* excluded, QString& name) const;
    // Takes the chosen value out of the combo and selects its first entry.
    void TakeChosenValue();
    // Offers a value again once no item holds it.
    void OfferValue(const QString& valueText);
    QTreeWidgetItem* SelectedItem() const;
    zyr::ui::OwnerWindow Owner() const;

    CKVTAppl* application_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* values_ = nullptr;
    // Context of the buttons' connections: they end with the page object.
    std::unique_ptr<QObject> guard_;
};
