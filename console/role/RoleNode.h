// The role side of the console tree: the "Roles" container, whose result pane
// lists one item per role of the current role list, and the role items with
// their pages and the delete that also clears the role from every
// access-control list in memory.
#pragma once

#include "console/framework/KVTChildData.h"
#include "console/framework/RecordNode.h"
#include "console/framework/Resources.h"
#include "console/framework/StartupHooks.h"

#include <span>

class CKVTRole;
class CRoleNode;

class CRoleInstanceNode : public CRecordNode<CRoleInstanceNode, CKVTSnapinData<CRoleInstanceNode>> {
public:
    // {5C0E7A21-3B94-4F6D-8E2A-91D4B7C60A12}
    static constexpr NodeDescription kDescription{
        {0x5C0E7A21, 0x3B94, 0x4F6D, {0x8E, 0x2A, 0x91, 0xD4, 0xB7, 0xC6, 0x0A, 0x12}}, u"Role Instance"};
    static constexpr int kImage = 4;

    // The role stays owned by the current role list.
    CRoleInstanceNode(CKVTRole* role, CRoleNode* parent);
    ~CRoleInstanceNode() override;

    // Column 0 the role's name, column 1 its description; nothing once the
    // node has lost its role.
    LPOLESTR GetColumnText(int column) override;
    // The General page, then the Members page of the kind the configuration
    // asks for.
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle, IUnknown* unknown,
                                DATA_OBJECT_TYPES type) override;

    // Deletes the role on the server and, when the server took it,
    // from the result pane, the role list, the container and every
    // access-control list in memory.
    HRESULT OnDelete(IConsole* console) override;
    // Shows "%d Role" / "%d Roles" with the number of roles in the list.
    virtual HRESULT UpdateDescriptionBar(IConsole* console);

    // A page of the role changed it: the item is drawn again.
    HRESULT OnPropertyChange(IConsole* console) override;

    CKVTRole* Role() const { return m_pRole; }
    CRoleNode* Parent() const { return m_pParent; }

private:
    CKVTRole* m_pRole;
    CRoleNode* m_pParent;
};

class CRoleNode : public CKVTChildData<CRoleNode> {
public:
    // {5C0E7A20-3B94-4F6D-8E2A-91D4B7C60A11}
    static constexpr NodeDescription kDescription{
        {0x5C0E7A20, 0x3B94, 0x4F6D, {0x8E, 0x2A, 0x91, 0xD4, 0xB7, 0xC6, 0x0A, 0x11}}, u"Roles"};
    // Its children are result items.
    static constexpr bool kResultChildren = true;
    static constexpr UINT kMenuId = zyr::console::IDR_ROLE_MENU;
    static constexpr long ID_NEW_ROLE = 32775;
    static constexpr long ID_FIND_USER = 32839;
    static constexpr int kImage = 4;
    static std::span<const CommandEntry<CRoleNode>> CommandTable();

    // One child per role of the current role list, in list order.
    CRoleNode();

    LPOLESTR GetColumnText(int column) override;
    // The container has no pages.
    HRESULT QueryPagesFor(DATA_OBJECT_TYPES type) override;
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle, IUnknown* unknown,
                                DATA_OBJECT_TYPES type) override;
    // Lists the children that are still present.
    HRESULT OnShow(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                   DATA_OBJECT_TYPES type) override;

    HRESULT OnSelect(IConsole* console) override;
    HRESULT SetColumnHeaders(IHeaderCtrl* header) override;
    virtual HRESULT OnNewRole(bool& handled, CSnapInObjectRootBase* root);
    virtual HRESULT OnFindUser(bool& handled, CSnapInObjectRootBase* root);
    HRESULT OnDelete(IConsole* console) override;
    HRESULT OnRemoveChildren(IConsole* console) override;
    HRESULT OnRefresh(IConsole* console) override;
    virtual HRESULT UpdateDescriptionBar(IConsole* console);
};

namespace zyr::console {

// The root's step "Initializing Role Node".
CSnapInItem* CreateRoleContainer(StatusWindow* status);

// The texts the role side shows.
constexpr const char* kRoleExistsFormat = "Role '%s' Already Exists.";
constexpr const char* kConfirmRoleDeleteFormat = "Are you sure you want to delete the role %s?";
constexpr const char* kRoleNotDeletedFormat =
    "The security server did not delete the role %s.\n\nThe role and its access-control entries are kept.";

} // namespace zyr::console
