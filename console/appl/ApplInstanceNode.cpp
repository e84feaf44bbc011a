#include "console/appl/ApplInstanceNode.h"

#include "common/StringTable.h"
#include "console/appl/ApplNodeSupport.h"
#include "console/appl/ApplicationNode.h"
#include "console/appl/GroupNode.h"
#include "console/framework/ApplicationUi.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/PropertyChangeTargets.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "records/ConsoleAccess.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <utility>

using zyr::com::ComPtr;
using zyr::records::SetField;

namespace {

LPARAM KeyOf(const void* record)
{
    return reinterpret_cast<LPARAM>(record);
}

} // namespace

std::span<const CommandEntry<CApplInstanceNode>> CApplInstanceNode::CommandTable()
{
    static const CommandEntry<CApplInstanceNode> table[] = {
        {ID_NEW_SECURE_GROUP, &CApplInstanceNode::OnNewSecureGroup},
        {ID_EXPORT_APPLICATION, &CApplInstanceNode::OnExportApplication},
        {ID_WHO_HAS_ACCESS, &CApplInstanceNode::OnWhoHasAccess},
    };
    return table;
}

HRESULT CApplInstanceNode::OnWhoHasAccess(bool&, CSnapInObjectRootBase* root)
{
    return zyr::console::appl::ShowWhoHasAccess(*this, root, m_pAppl);
}

CApplInstanceNode::CApplInstanceNode(zyr::xml::KvtXmlDocument* document,
                                     const zyr::xml::KvtXmlElement* element, CKVTAppl* application,
                                     CKVTApplList* list, CApplicationNode* parent)
    : m_pAppl(application), m_pApplList(list), m_pParent(parent)
{
    m_scopeDataItem.nImage = 1;
    m_scopeDataItem.nOpenImage = 1;
    m_scopeDataItem.cChildren = 1;
    m_resultDataItem.nImage = 5;
    zyr::console::RegisterPropertyChangeTarget(CookieOf(this), this);
    if (m_pAppl == nullptr) {
        return;
    }
    zyr::console::RegisterPropertyChangeTarget(KeyOf(m_pAppl), this);
    const bool fromServer = document != nullptr && element != nullptr;
    if (fromServer) {
        LoadRecord(*document, *element, *m_pAppl);
    }
    for (const auto& group : m_pAppl->Groups) {
        if (!group) {
            break;
        }
        SetField(group->ApplName, m_pAppl->CN.view(), "ApplName");
        // A group whose element could not be reached gets no node.
        if (!fromServer || group->SourceElement().IsValid()) {
            unbuilt_.push_back(group.get());
        }
    }
}

void CApplInstanceNode::LoadRecord(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& element,
                                   CKVTAppl& application)
{
    application.LoadGroups(document, element);
    for (const auto& group : application.Groups) {
        if (!group) {
            break;
        }
        SetField(group->ApplName, application.CN.view(), "ApplName");
        SetField(group->ApplDN, application.DN.view(), "ApplDN");
        // Each group reads its objects from the element it was read from.
        if (group->SourceElement().IsValid()) {
            group->LoadObjects(document, group->SourceElement());
        }
    }
}

void CApplInstanceNode::Rebind(CKVTAppl& application, IConsole* console)
{
    zyr::console::UnregisterPropertyChangeTarget(KeyOf(m_pAppl), this);
    m_pAppl = &application;
    zyr::console::RegisterPropertyChangeTarget(KeyOf(m_pAppl), this);
    std::vector<CKVTSecGroup*> groups;
    for (const auto& group : m_pAppl->Groups) {
        if (!group) {
            break;
        }
        groups.push_back(group.get());
    }
    if (!groupNodesBuilt_) {
        unbuilt_ = std::move(groups);
        zyr::console::appl::RefreshScopeItem(console, m_scopeDataItem.ID);
        return;
    }
    zyr::console::appl::FollowByName<CGroupNode>(
        m_children, groups, [](const CGroupNode& node) { return node.Group(); },
        [this, console](CGroupNode& node, CKVTSecGroup& group) { node.Rebind(group, *m_pAppl, console); },
        [console](CGroupNode& node) { node.Withdraw(console); },
        [this, console](CKVTSecGroup& group) {
            AppendGroupNode(nullptr, nullptr, &group);
            zyr::console::appl::InsertScopeChild(console, expanded_, m_scopeDataItem.ID, m_children.back());
        });
    zyr::console::appl::RefreshScopeItem(console, m_scopeDataItem.ID);
}

HRESULT CApplInstanceNode::Withdraw(IConsole* console)
{
    return zyr::console::appl::WithdrawNode(*this, m_pParent, console);
}

HSCOPEITEM CApplInstanceNode::ShownScopeItem() const
{
    if (m_bShown) {
        return m_scopeDataItem.ID;
    }
    for (const CSnapInItem* child : m_children) {
        const auto* group = static_cast<const CGroupNode*>(child);
        if (group->m_bShown) {
            return group->m_scopeDataItem.ID;
        }
    }
    return 0;
}

void CApplInstanceNode::BuildGroupNodes()
{
    if (std::exchange(groupNodesBuilt_, true)) {
        return;
    }
    for (CKVTSecGroup* group : std::exchange(unbuilt_, {})) {
        AppendGroupNode(nullptr, nullptr, group);
    }
}

CApplInstanceNode::~CApplInstanceNode()
{
    zyr::console::UnregisterPropertyChangeTargets(this);
}

void CApplInstanceNode::AppendGroupNode(zyr::xml::KvtXmlDocument* document,
                                        const zyr::xml::KvtXmlElement* element, CKVTSecGroup* group)
{
    AppendChild(new CGroupNode(document, element, group, m_pAppl, this));
}

void CApplInstanceNode::ForgetRecords()
{
    zyr::console::UnregisterPropertyChangeTarget(KeyOf(m_pAppl), this);
    m_pAppl = nullptr;
    unbuilt_.clear();
    for (CSnapInItem* child : m_children) {
        static_cast<CGroupNode*>(child)->ForgetRecords();
    }
}

HRESULT CApplInstanceNode::OnExpand(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                                    DATA_OBJECT_TYPES type)
{
    if (arg != 0) {
        expanded_ = true;
        BuildGroupNodes();
    }
    return CKVTChildData<CApplInstanceNode>::OnExpand(event, arg, param, console, type);
}

HRESULT CApplInstanceNode::GetScopePaneInfo(SCOPEDATAITEM* item)
{
    return zyr::console::appl::FillRecordScopePaneInfo(m_scopeDataItem, m_pAppl, scopeName_, item);
}

LPOLESTR CApplInstanceNode::GetColumnText(int column)
{
    return NameDescriptionColumnText(column, m_pAppl);
}

HRESULT CApplInstanceNode::CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                               IUnknown*, DATA_OBJECT_TYPES type)
{
    if (type != CCT_SCOPE && type != CCT_RESULT && type != CCT_SNAPIN_MANAGER) {
        return E_UNEXPECTED;
    }
    if (m_pAppl == nullptr) {
        return E_FAIL;
    }
    return zyr::console::CurrentApplicationUi().AddApplicationPages(m_pAppl, callback, notifyHandle);
}

HRESULT CApplInstanceNode::SetColumnHeaders(IHeaderCtrl* header)
{
    return zyr::console::InsertNameDescriptionColumns(header, u"Secure Groups");
}

HRESULT CApplInstanceNode::UpdateDescriptionBar(IConsole* console)
{
    BuildGroupNodes();
    return zyr::console::SetDescriptionBar(console, static_cast<int>(m_children.size()), "%d Group",
                                           "%d Groups");
}

HRESULT CApplInstanceNode::OnPropertyChange(IConsole* console)
{
    return zyr::console::appl::RefreshScopeItem(console, m_scopeDataItem.ID);
}

HRESULT CApplInstanceNode::OnNewSecureGroup(bool&, CSnapInObjectRootBase* root)
{
    BuildGroupNodes(); // the new group's node joins the others
    return zyr::console::appl::RunNewItem(
        *this, m_pAppl != nullptr, zyr::console::NewItemKind::Group, "Securable Group", root,
        [this](const zyr::console::NewItemTexts& texts) {
            return zyr::records::AddGroup(*m_pAppl, texts.name, texts.description);
        },
        [this](IConsole* console, CKVTSecGroup& added) {
            AppendGroupNode(nullptr, nullptr, &added);
            zyr::console::appl::InsertScopeChild(console, expanded_, m_scopeDataItem.ID, m_children.back());
            // Shown afresh, with the new group selected.
            console->SelectScopeItem(m_scopeDataItem.ID);
        });
}

HRESULT CApplInstanceNode::OnExportApplication(bool&, CSnapInObjectRootBase*)
{
    if (m_pAppl == nullptr) {
        return S_OK;
    }
    return m_pAppl->Export();
}

HRESULT CApplInstanceNode::OnRefresh(IConsole* console)
{
    if (m_pAppl == nullptr) {
        return S_OK;
    }
    BuildGroupNodes();
    std::unordered_set<std::u32string> shown;
    for (CSnapInItem* child : m_children) {
        if (const CKVTSecGroup* known = static_cast<CGroupNode*>(child)->Group()) {
            shown.insert(zyr::text::CaseFoldKey(known->CN.view()));
        }
    }
    for (const auto& group : m_pAppl->Groups) {
        if (!group) {
            break;
        }
        if (!shown.insert(zyr::text::CaseFoldKey(group->CN.view())).second) {
            continue;
        }
        AppendGroupNode(nullptr, nullptr, group.get());
        // Once the console lists this node's groups, a group found now joins
        // them; before that the expansion lists it with the others.
        zyr::console::appl::InsertScopeChild(console, expanded_, m_scopeDataItem.ID, m_children.back());
    }
    return S_OK;
}

HRESULT CApplInstanceNode::OnDelete(IConsole* console)
{
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return S_OK;
    }
    if (m_pAppl == nullptr) {
        return E_FAIL;
    }
    const std::string name = m_pAppl->CN.str();
    if (!zyr::records::PassesDeleteLockoutGuard(*m_pAppl)) {
        return S_OK;
    }
    int answer = zyr::ui::Ui().MessageBox(
        nullptr, "Are you sure you want to delete the application " + name + "?",
        zyr::LoadStringAnsi(zyr::IDS_PROJNAME), zyr::ui::MB_ICONWARNING | zyr::ui::MB_YESNO);
    if (answer != zyr::ui::IDYES) {
        return S_OK;
    }
    // An application the server did not delete stays in the console, so that
    // the console never shows a deletion that did not happen.
    if (!m_pAppl->Delete()) {
        zyr::console::appl::ShowDeleteRefused("application", name);
        return E_FAIL;
    }
    CKVTAppl* deleted = m_pAppl;
    HRESULT hr = Withdraw(console);
    if (m_pApplList != nullptr) {
        m_pApplList->Remove(deleted);
    }
    return FAILED(hr) ? hr : S_OK;
}
