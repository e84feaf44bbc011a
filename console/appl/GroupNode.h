// One secure group of an application: a scope node whose securable objects
// are listed in the result pane when it is shown.
#pragma once

#include "common/KvtXml.h"
#include "console/framework/KVTChildData.h"
#include "console/framework/RecordNode.h"
#include "console/framework/Resources.h"
#include "records/Application.h"

#include <span>
#include <string>

class CApplInstanceNode;

class CGroupNode : public CRecordNode<CGroupNode, CKVTChildData<CGroupNode>> {
public:
    // {3B8D6E43-0F4A-4C57-9E12-6A7C5D10B323}
    static constexpr NodeDescription kDescription{
        {0x3B8D6E43, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x23}}, u"Groups"};
    // Its children are result items.
    static constexpr bool kResultChildren = true;
    static constexpr UINT kMenuId = zyr::console::IDR_GROUP_MENU;
    static constexpr long ID_NEW_SECURABLE_OBJECT = 32779;
    static constexpr long ID_WHO_HAS_ACCESS = zyr::console::ID_WHO_HAS_ACCESS;
    static std::span<const CommandEntry<CGroupNode>> CommandTable();

    // With the document and the group's element, reads the group's objects
    // first. The object nodes are made when first needed (BuildObjectNodes).
    CGroupNode(zyr::xml::KvtXmlDocument* document, const zyr::xml::KvtXmlElement* element,
               CKVTSecGroup* group, CKVTAppl* application, CApplInstanceNode* parent);
    ~CGroupNode() override;

    // SDI_STR answers the group's name; nothing is filled once it is gone.
    HRESULT GetScopePaneInfo(SCOPEDATAITEM* item) override;
    LPOLESTR GetColumnText(int column) override;
    // The group page.
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle, IUnknown* unknown,
                                DATA_OBJECT_TYPES type) override;
    // "Securable Object" and "Description".
    HRESULT SetColumnHeaders(IHeaderCtrl* header) override;
    // Makes the object nodes not made yet.
    HRESULT OnRefresh(IConsole* console) override;
    // An object node for each object of the group, on first need: showing,
    // refresh, a new object.
    void BuildObjectNodes();
    HRESULT OnShow(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                   DATA_OBJECT_TYPES type) override;
    // The command 32779.
    virtual HRESULT OnNewSecurableObject(bool& handled, CSnapInObjectRootBase* root);
    HRESULT OnWhoHasAccess(bool& handled, CSnapInObjectRootBase* root);
    // The delete verb: asks through the console, deletes on the server, and
    // only when the server took the delete removes the group and the node.
    HRESULT OnDelete(IConsole* console) override;
    // "%d Object" / "%d Objects".
    virtual HRESULT UpdateDescriptionBar(IConsole* console);
    // The page changed the group: the console shows it again.
    HRESULT OnPropertyChange(IConsole* console) override;

    CKVTSecGroup* Group() const { return m_pGroup; }
    CKVTAppl* Application() const { return m_pAppl; }
    // The group went with its application: this node and its object nodes
    // refer to no record any more.
    void ForgetRecords();
    // A refresh read the group again: the node shows group (of application)
    // from now on; object nodes already made are made afresh from it.
    void Rebind(CKVTSecGroup& group, CKVTAppl& application, IConsole* console);
    // Forgets the records and leaves the parent and the console (a delete,
    // or a group a refresh no longer found).
    HRESULT Withdraw(IConsole* console);

private:
    CKVTSecGroup* m_pGroup;
    CKVTAppl* m_pAppl;
    CApplInstanceNode* m_pParent;
    bool objectNodesBuilt_ = false;
    std::u16string scopeName_;
};
