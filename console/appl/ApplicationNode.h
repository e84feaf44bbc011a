// The "Applications" container below the root: it owns the application list,
// fetched at start-up, and holds one node per application. Its commands make
// a new application and import one from an export file.
#pragma once

#include "console/framework/KVTChildData.h"
#include "console/framework/Resources.h"
#include "console/framework/StartupHooks.h"
#include "records/Application.h"

#include <memory>
#include <span>
#include <vector>

class CApplInstanceNode;

class CApplicationNode : public CKVTChildData<CApplicationNode> {
public:
    // {3B8D6E41-0F4A-4C57-9E12-6A7C5D10B321}
    static constexpr NodeDescription kDescription{
        {0x3B8D6E41, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x21}}, u"Applications"};
    static constexpr UINT kMenuId = zyr::console::IDR_APPLICATION_MENU;
    static constexpr long ID_NEW_APPLICATION = 32768;
    static constexpr long ID_IMPORT_APPLICATION = 32785;
    static std::span<const CommandEntry<CApplicationNode>> CommandTable();

    // Fetches the application list, showing its steps in the status window
    // (which may be null), and builds a node per application with its group
    // and object nodes. Every failure is silent: the node then has fewer
    // children or none.
    explicit CApplicationNode(zyr::console::StatusWindow* status);
    ~CApplicationNode() override;

    // Column 0 the display name, column 1 "Applications", others empty.
    LPOLESTR GetColumnText(int column) override;
    HRESULT QueryPagesFor(DATA_OBJECT_TYPES type) override;

    // Enables Refresh; updates the description bar.
    HRESULT OnSelect(IConsole* console) override;
    // The columns "Applications" and "Description".
    HRESULT SetColumnHeaders(IHeaderCtrl* header) override;
    // The commands 32768 and 32785.
    virtual HRESULT OnNewApplication(bool& handled, CSnapInObjectRootBase* root);
    virtual HRESULT OnImportApplication(bool& handled, CSnapInObjectRootBase* root);
    // Reads the application list again: nodes follow it by name, shown
    // ones kept, gone ones withdrawn, new ones added, their groups alike;
    // the shown view is shown afresh. A failed read changes nothing and is
    // told.
    HRESULT OnRefresh(IConsole* console) override;
    // Shows "%d Application" / "%d Applications".
    virtual HRESULT UpdateDescriptionBar(IConsole* console);

    CKVTApplList& ApplList() { return m_applList; }
    const CKVTApplList& ApplList() const { return m_applList; }
    // Notes the first expansion, then lists the children in the tree.
    HRESULT OnExpand(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                     DATA_OBJECT_TYPES type) override;
    bool IsExpanded() const { return expanded_; }

    // Builds the node of an application of the list made without an element
    // (a new or imported application), appends it and inserts it below this
    // node in the console; the insertion's result.
    HRESULT AddApplicationNode(CKVTAppl& application, IConsole* console);

private:
    // The destructor destroys the children first, so the list outlives every
    // node that refers to its records.
    CKVTApplList m_applList;
    // Records a refresh replaced while a property page was open (see OnRefresh).
    std::vector<std::unique_ptr<CKVTAppl>> retired_;
    bool expanded_ = false;
};

// The root's factory for its first container.
CSnapInItem* CreateApplicationNode(zyr::console::StatusWindow* status);
