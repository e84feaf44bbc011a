#include "console/role/RoleNode.h"

#include "common/ServerSettings.h"
#include "common/StringTable.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/PropertyChangeTargets.h"
#include "console/framework/RoleUi.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "records/AclEditing.h"
#include "records/Application.h"
#include "records/ChangeFlows.h"
#include "records/ConsoleAccess.h"
#include "roles/RoleList.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>

using zyr::com::ComPtr;

namespace {

constexpr const char* kRoleSingular = "%d Role";
constexpr const char* kRolePlural = "%d Roles";

// fmt with one "%s" filled with text.
std::string FormatWithText(const char* fmt, std::string_view text)
{
    std::string value(text);
    int size = std::snprintf(nullptr, 0, fmt, value.c_str());
    if (size <= 0) {
        return fmt;
    }
    std::string out(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt, value.c_str());
    out.resize(static_cast<size_t>(size));
    return out;
}

// A box without owner window, with the product caption.
int ShowMessage(const std::string& text, unsigned style)
{
    return zyr::ui::Ui().MessageBox(nullptr, text, zyr::LoadStringAnsi(zyr::IDS_PROJNAME), style);
}

int RoleCount()
{
    CKVTRoleList* list = zyr::records::CurrentRoleList();
    return list == nullptr ? 0 : static_cast<int>(list->Roles().size());
}

ComPtr<IResultData> ResultDataOf(IConsole* console)
{
    return ComPtr<IConsole>::Share(console).As<IResultData>();
}

} // namespace

// ---------------------------------------------------------------------------
// CRoleInstanceNode

CRoleInstanceNode::CRoleInstanceNode(CKVTRole* role, CRoleNode* parent) : m_pRole(role), m_pParent(parent)
{
    m_resultDataItem.nImage = kImage;
    // The role pages report their changes with this node's cookie.
    zyr::console::RegisterPropertyChangeTarget(CookieOf(this), this);
}

CRoleInstanceNode::~CRoleInstanceNode()
{
    zyr::console::UnregisterPropertyChangeTargets(this);
}

LPOLESTR CRoleInstanceNode::GetColumnText(int column)
{
    return NameDescriptionColumnText(column, m_pRole);
}

HRESULT CRoleInstanceNode::CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                               IUnknown*, DATA_OBJECT_TYPES type)
{
    if (type != CCT_SCOPE && type != CCT_RESULT) {
        return E_UNEXPECTED;
    }
    if (m_pRole == nullptr) {
        return E_FAIL;
    }
    zyr::console::RoleUi& ui = zyr::console::CurrentRoleUi();
    const LPARAM changeParam = CookieOf(this);
    HRESULT hr = ui.AddGeneralPage(m_pRole, callback, notifyHandle, changeParam);
    if (FAILED(hr)) {
        return hr;
    }
    bool directoryClient = false;
    if (FAILED(IsNovellClient(&directoryClient))) {
        directoryClient = false;
    }
    auto kind = directoryClient ? zyr::console::MemberPageKind::DirectoryClient
                                : zyr::console::MemberPageKind::Accounts;
    hr = ui.AddMembersPage(kind, m_pRole, callback, notifyHandle, changeParam);
    return hr;
}

HRESULT CRoleInstanceNode::OnDelete(IConsole* console)
{
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return S_OK;
    }
    if (m_pRole == nullptr) {
        return E_FAIL;
    }
    const std::string name(m_pRole->CN.view());
    if (!zyr::records::PassesLockoutGuard([&](auto& access) { access.DeleteRole(name); })) {
        return S_OK;
    }
    if (ShowMessage(FormatWithText(zyr::console::kConfirmRoleDeleteFormat, name),
                    zyr::ui::MB_YESNO | zyr::ui::MB_ICONWARNING) != zyr::ui::IDYES) {
        return S_OK;
    }
    // Once deleted, the role leaves the role list (and is gone) and the
    // access-control entries that name it leave the application list.
    const zyr::records::RoleDeletion deletion = zyr::records::DeleteRole(
        *m_pRole, zyr::records::CurrentRoleList(), [] { return zyr::records::CurrentApplList(); });
    if (!deletion.deleted) {
        // The role is still on the server: the console keeps it, and the
        // access-control entries that name it, as they are.
        ShowMessage(FormatWithText(zyr::console::kRoleNotDeletedFormat, name), zyr::ui::MB_ICONERROR);
        return S_OK;
    }
    m_pRole = nullptr;

    zyr::ui::WaitCursor wait;
    if (ComPtr<IResultData> resultData = ResultDataOf(console)) {
        resultData->DeleteItem(m_resultDataItem.itemID, 0);
    }
    UpdateDescriptionBar(console);
    m_bPresent = false;
    // Last: the container keeps the node alive after this, but not in its
    // children.
    if (m_pParent != nullptr) {
        m_pParent->RemoveChild(this);
    }
    return S_OK;
}

HRESULT CRoleInstanceNode::UpdateDescriptionBar(IConsole* console)
{
    return zyr::console::SetDescriptionBar(console, RoleCount(), kRoleSingular, kRolePlural);
}

HRESULT CRoleInstanceNode::OnPropertyChange(IConsole* console)
{
    ComPtr<IResultData> resultData = ResultDataOf(console);
    if (!resultData) {
        return E_UNEXPECTED;
    }
    HRESULTITEM item = 0;
    HRESULT hr = resultData->FindItemByLParam(CookieOf(this), &item);
    if (FAILED(hr)) {
        return hr; // not shown in this view
    }
    return resultData->UpdateItem(item);
}

// ---------------------------------------------------------------------------
// CRoleNode

std::span<const CommandEntry<CRoleNode>> CRoleNode::CommandTable()
{
    static const CommandEntry<CRoleNode> table[] = {
        {ID_NEW_ROLE, &CRoleNode::OnNewRole},
        {ID_FIND_USER, &CRoleNode::OnFindUser},
    };
    return table;
}

CRoleNode::CRoleNode()
{
    m_scopeDataItem.nImage = kImage;
    m_scopeDataItem.nOpenImage = kImage;
    if (CKVTRoleList* list = zyr::records::CurrentRoleList()) {
        for (const auto& role : list->Roles()) {
            AppendChild(new (std::nothrow) CRoleInstanceNode(role.get(), this));
        }
    }
}

LPOLESTR CRoleNode::GetColumnText(int column)
{
    return ColumnTexts(column, {m_bstrDisplayName, u"Description"});
}

HRESULT CRoleNode::QueryPagesFor(DATA_OBJECT_TYPES)
{
    return S_FALSE;
}

HRESULT CRoleNode::CreatePropertyPages(IPropertySheetCallback*, LONG_PTR, IUnknown*, DATA_OBJECT_TYPES)
{
    return S_OK;
}

HRESULT CRoleNode::OnShow(MMC_NOTIFY_TYPE, LPARAM arg, LPARAM, IConsole* console, DATA_OBJECT_TYPES)
{
    if (arg == 0) {
        return E_NOTIMPL;
    }
    ComPtr<IResultData> resultData = ResultDataOf(console);
    if (!resultData) {
        return E_UNEXPECTED;
    }
    HRESULT hr = E_NOTIMPL;
    for (CSnapInItem* child : m_children) {
        auto* role = static_cast<CRoleInstanceNode*>(child);
        if (!role->m_bPresent) {
            continue;
        }
        hr = resultData->InsertItem(&role->m_resultDataItem);
    }
    return hr;
}

HRESULT CRoleNode::OnSelect(IConsole* console)
{
    // The container offers no verb: no Delete, Refresh or Properties.
    UpdateDescriptionBar(console);
    return S_OK;
}

HRESULT CRoleNode::SetColumnHeaders(IHeaderCtrl* header)
{
    return zyr::console::InsertColumns(header, {{u"Role", 200}, {u"Description", 350}});
}

HRESULT CRoleNode::OnNewRole(bool&, CSnapInObjectRootBase* root)
{
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return S_OK;
    }
    CKVTRoleList* list = zyr::records::CurrentRoleList();
    if (list == nullptr) {
        return E_UNEXPECTED;
    }
    zyr::console::NewRoleTexts texts;
    if (!zyr::console::CurrentRoleUi().RunNewRoleDialog(nullptr, texts)) {
        return S_OK;
    }
    ComPtr<IConsole> console;
    GetConsole(root, console.Put());
    const zyr::records::AddOutcome<CKVTRole> outcome =
        zyr::records::AddRole(*list, texts.name, texts.description);
    if (outcome.existing != nullptr) {
        zyr::console::ConsoleMessageText(
            console.get(), FormatWithText(zyr::console::kRoleExistsFormat, outcome.existing->CN.view()),
            zyr::ui::MB_ICONINFORMATION);
        return S_OK;
    }
    if (outcome.added == nullptr) {
        return S_OK; // the failure has been shown
    }
    CKVTRole& added = *outcome.added;
    if (!AppendChild(new (std::nothrow) CRoleInstanceNode(&added, this))) {
        return E_OUTOFMEMORY;
    }
    if (!console) {
        return S_OK;
    }
    console->SelectScopeItem(m_scopeDataItem.ID);
    UpdateDescriptionBar(console.get());
    return S_OK;
}

HRESULT CRoleNode::OnFindUser(bool&, CSnapInObjectRootBase*)
{
    zyr::console::CurrentRoleUi().RunFindUser();
    return S_OK;
}

HRESULT CRoleNode::OnDelete(IConsole*)
{
    return S_OK;
}

HRESULT CRoleNode::OnRemoveChildren(IConsole*)
{
    return S_OK;
}

HRESULT CRoleNode::OnRefresh(IConsole*)
{
    CKVTRoleList* list = zyr::records::CurrentRoleList();
    if (list == nullptr) {
        return S_OK;
    }
    // The shown names, hashed: a refresh of 10,000 roles compares each once.
    std::unordered_set<std::u32string> shown;
    shown.reserve(m_children.size());
    for (CSnapInItem* child : m_children) {
        if (const CKVTRole* known = static_cast<CRoleInstanceNode*>(child)->Role()) {
            shown.insert(zyr::text::CaseFoldKey(known->CN.view()));
        }
    }
    for (const auto& role : list->Roles()) {
        if (shown.insert(zyr::text::CaseFoldKey(role->CN.view())).second) {
            AppendChild(new (std::nothrow) CRoleInstanceNode(role.get(), this));
        }
    }
    return S_OK;
}

HRESULT CRoleNode::UpdateDescriptionBar(IConsole* console)
{
    return zyr::console::SetDescriptionBar(console, static_cast<int>(m_children.size()), kRoleSingular,
                                           kRolePlural);
}

namespace zyr::console {

CSnapInItem* CreateRoleContainer(StatusWindow*)
{
    return new (std::nothrow) CRoleNode();
}

} // namespace zyr::console
