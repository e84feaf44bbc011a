// One securable object of a secure group: an item of the group's result pane.
#pragma once

#include "console/framework/KVTSnapinData.h"
#include "console/framework/RecordNode.h"
#include "console/framework/Resources.h"
#include "records/Application.h"

class CGroupNode;

class CApplSecObjNode : public CRecordNode<CApplSecObjNode, CKVTSnapinData<CApplSecObjNode>> {
public:
    // {3B8D6E44-0F4A-4C57-9E12-6A7C5D10B324}
    static constexpr NodeDescription kDescription{
        {0x3B8D6E44, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x24}}, u"Securable Object"};

    static constexpr UINT kMenuId = zyr::console::IDR_OBJECT_MENU;
    static constexpr long ID_WHO_HAS_ACCESS = zyr::console::ID_WHO_HAS_ACCESS;
    static std::span<const CommandEntry<CApplSecObjNode>> CommandTable();
    HRESULT OnWhoHasAccess(bool& handled, CSnapInObjectRootBase* root);

    CApplSecObjNode(CKVTApplSecObj* object, CKVTAppl* application, CKVTSecGroup* group, CGroupNode* parent);
    ~CApplSecObjNode() override;

    // Column 0 the name, column 1 the description, others empty.
    LPOLESTR GetColumnText(int column) override;
    // The object page (scope and result contexts only).
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle, IUnknown* unknown,
                                DATA_OBJECT_TYPES type) override;
    // The delete verb: asks, deletes on the server, and only when the server
    // took the delete removes the object and its item.
    HRESULT OnDelete(IConsole* console) override;
    // "%d Object" / "%d Objects" over the objects of its group.
    virtual HRESULT UpdateDescriptionBar(IConsole* console);
    // The page changed the object: the console shows its row again.
    HRESULT OnPropertyChange(IConsole* console) override;

    CKVTApplSecObj* Object() const { return m_pObject; }
    // The object went with its group.
    void ForgetRecords();

private:
    CKVTApplSecObj* m_pObject;
    CKVTAppl* m_pAppl;
    CKVTSecGroup* m_pGroup;
    CGroupNode* m_pParent;
};
