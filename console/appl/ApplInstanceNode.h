// One application below the Applications container: its secure groups are
// its children. Its commands make a new secure group and export the
// application; it can be deleted and has the application and permission
// pages.
#pragma once

#include "common/KvtXml.h"
#include "console/framework/KVTChildData.h"
#include "console/framework/RecordNode.h"
#include "console/framework/Resources.h"
#include "records/Application.h"

#include <span>
#include <string>
#include <vector>

class CApplicationNode;

class CApplInstanceNode : public CRecordNode<CApplInstanceNode, CKVTChildData<CApplInstanceNode>> {
public:
    // {3B8D6E42-0F4A-4C57-9E12-6A7C5D10B322}
    static constexpr NodeDescription kDescription{
        {0x3B8D6E42, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x22}},
        u"Application Instance"};
    static constexpr UINT kMenuId = zyr::console::IDR_APPL_INSTANCE_MENU;
    static constexpr long ID_NEW_SECURE_GROUP = 32781;
    static constexpr long ID_EXPORT_APPLICATION = 32784;
    static constexpr long ID_WHO_HAS_ACCESS = zyr::console::ID_WHO_HAS_ACCESS;
    static std::span<const CommandEntry<CApplInstanceNode>> CommandTable();

    // With the document and the application's element (start-up), reads the
    // groups and their objects; a group whose element it has gets a node.
    // Without them (a new or imported application), each group of the record
    // gets one. The group nodes are made when first needed (BuildGroupNodes):
    // a plant's thousands of groups cost nothing until they are looked at.
    CApplInstanceNode(zyr::xml::KvtXmlDocument* document, const zyr::xml::KvtXmlElement* element,
                      CKVTAppl* application, CKVTApplList* list, CApplicationNode* parent);
    ~CApplInstanceNode() override;

    // SDI_STR answers the application's name; nothing is filled once the
    // application is gone.
    HRESULT GetScopePaneInfo(SCOPEDATAITEM* item) override;
    // Column 0 the name, column 1 the description, others empty; all empty
    // once the application is gone.
    LPOLESTR GetColumnText(int column) override;
    // The application page, then the permissions page.
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle, IUnknown* unknown,
                                DATA_OBJECT_TYPES type) override;
    // "Secure Groups" and "Description".
    HRESULT SetColumnHeaders(IHeaderCtrl* header) override;
    // The commands 32781 and 32784.
    virtual HRESULT OnNewSecureGroup(bool& handled, CSnapInObjectRootBase* root);
    virtual HRESULT OnExportApplication(bool& handled, CSnapInObjectRootBase* root);
    HRESULT OnWhoHasAccess(bool& handled, CSnapInObjectRootBase* root);
    // Builds nodes for groups of the record that have none.
    HRESULT OnRefresh(IConsole* console) override;
    // Makes the group nodes on first need: expansion, the description bar,
    // refresh, a new group.
    void BuildGroupNodes();
    // The delete verb: asks, deletes on the server, and only when the server
    // took the delete removes the record and the node.
    HRESULT OnDelete(IConsole* console) override;
    // "%d Group" / "%d Groups".
    virtual HRESULT UpdateDescriptionBar(IConsole* console);
    // The pages changed the application: the console shows it again.
    HRESULT OnPropertyChange(IConsole* console) override;

    CKVTAppl* Application() const { return m_pAppl; }
    // Notes the first expansion, then lists the children in the tree.
    HRESULT OnExpand(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                     DATA_OBJECT_TYPES type) override;
    bool IsExpanded() const { return expanded_; }
    // The application went with the list: this node and its group and object
    // nodes refer to no record any more.
    void ForgetRecords();
    // Reads the application's groups and their objects from its element and
    // gives each group the application's name and identity.
    static void LoadRecord(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& element,
                           CKVTAppl& application);
    // A refresh read the application again: the node shows application from
    // now on. Group nodes already made follow it by name (case-insensitive):
    // kept and rebound, withdrawn when gone, added when new.
    void Rebind(CKVTAppl& application, IConsole* console);
    // Forgets the records and leaves the parent and the console (a delete,
    // or an application a refresh no longer found).
    HRESULT Withdraw(IConsole* console);
    // This node or one of its group nodes fills the result pane: its scope
    // item, else 0.
    HSCOPEITEM ShownScopeItem() const;

private:
    void AppendGroupNode(zyr::xml::KvtXmlDocument* document, const zyr::xml::KvtXmlElement* element,
                         CKVTSecGroup* group);

    CKVTAppl* m_pAppl;
    CKVTApplList* m_pApplList;
    CApplicationNode* m_pParent;
    bool expanded_ = false;
    bool groupNodesBuilt_ = false;
    // The groups that get a node when the nodes are built.
    std::vector<CKVTSecGroup*> unbuilt_;
    std::u16string scopeName_;
};
