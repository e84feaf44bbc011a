#include "console/appl/GroupNode.h"

#include "console/appl/ApplInstanceNode.h"
#include "console/appl/ApplNodeSupport.h"
#include "console/appl/ApplSecObjNode.h"
#include "console/framework/ApplicationUi.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/PropertyChangeTargets.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "records/ConsoleAccess.h"

#include <algorithm>
#include <utility>

using zyr::com::ComPtr;

std::span<const CommandEntry<CGroupNode>> CGroupNode::CommandTable()
{
    static const CommandEntry<CGroupNode> table[] = {
        {ID_NEW_SECURABLE_OBJECT, &CGroupNode::OnNewSecurableObject},
        {ID_WHO_HAS_ACCESS, &CGroupNode::OnWhoHasAccess},
    };
    return table;
}

HRESULT CGroupNode::OnWhoHasAccess(bool&, CSnapInObjectRootBase* root)
{
    return zyr::console::appl::ShowWhoHasAccess(*this, root, m_pAppl, m_pGroup);
}

CGroupNode::CGroupNode(zyr::xml::KvtXmlDocument* document, const zyr::xml::KvtXmlElement* element,
                       CKVTSecGroup* group, CKVTAppl* application, CApplInstanceNode* parent)
    : m_pGroup(group), m_pAppl(application), m_pParent(parent)
{
    m_scopeDataItem.nImage = 8;
    m_scopeDataItem.nOpenImage = 8;
    m_resultDataItem.nImage = 8;
    // A group never has children in the tree: its objects are listed in the
    // result pane. Saying so spares the operator an expand mark that leads
    // nowhere.
    m_scopeDataItem.mask |= SDI_CHILDREN;
    m_scopeDataItem.cChildren = 0;
    zyr::console::RegisterPropertyChangeTarget(CookieOf(this), this);
    if (m_pGroup == nullptr) {
        return;
    }
    zyr::console::RegisterPropertyChangeTarget(reinterpret_cast<LPARAM>(m_pGroup), this);
    if (document != nullptr && element != nullptr) {
        m_pGroup->LoadObjects(*document, *element);
    }
}

void CGroupNode::BuildObjectNodes()
{
    if (m_pGroup == nullptr || std::exchange(objectNodesBuilt_, true)) {
        return;
    }
    for (const auto& object : m_pGroup->Objects) {
        if (!object) {
            break;
        }
        AppendChild(new CApplSecObjNode(object.get(), m_pAppl, m_pGroup, this));
    }
}

HRESULT CGroupNode::OnShow(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                           DATA_OBJECT_TYPES type)
{
    if (arg != 0) {
        BuildObjectNodes();
    }
    return CKVTChildData<CGroupNode>::OnShow(event, arg, param, console, type);
}

CGroupNode::~CGroupNode()
{
    zyr::console::UnregisterPropertyChangeTargets(this);
}

void CGroupNode::ForgetRecords()
{
    zyr::console::UnregisterPropertyChangeTarget(reinterpret_cast<LPARAM>(m_pGroup), this);
    m_pGroup = nullptr;
    m_pAppl = nullptr;
    for (CSnapInItem* child : m_children) {
        static_cast<CApplSecObjNode*>(child)->ForgetRecords();
    }
}

void CGroupNode::Rebind(CKVTSecGroup& group, CKVTAppl& application, IConsole* console)
{
    zyr::console::UnregisterPropertyChangeTarget(reinterpret_cast<LPARAM>(m_pGroup), this);
    m_pGroup = &group;
    m_pAppl = &application;
    zyr::console::RegisterPropertyChangeTarget(reinterpret_cast<LPARAM>(m_pGroup), this);
    if (std::exchange(objectNodesBuilt_, false)) {
        for (CSnapInItem* child : m_children) {
            static_cast<CApplSecObjNode*>(child)->ForgetRecords();
        }
        // The console may still hold the old rows' cookies until it shows
        // the group again.
        RetireChildren();
        BuildObjectNodes();
    }
    zyr::console::appl::RefreshScopeItem(console, m_scopeDataItem.ID);
}

HRESULT CGroupNode::Withdraw(IConsole* console)
{
    return zyr::console::appl::WithdrawNode(*this, m_pParent, console);
}

HRESULT CGroupNode::GetScopePaneInfo(SCOPEDATAITEM* item)
{
    return zyr::console::appl::FillRecordScopePaneInfo(m_scopeDataItem, m_pGroup, scopeName_, item);
}

LPOLESTR CGroupNode::GetColumnText(int column)
{
    return NameDescriptionColumnText(column, m_pGroup);
}

HRESULT CGroupNode::CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle, IUnknown*,
                                        DATA_OBJECT_TYPES type)
{
    if (type != CCT_SCOPE && type != CCT_RESULT && type != CCT_SNAPIN_MANAGER) {
        return E_UNEXPECTED;
    }
    if (m_pGroup == nullptr) {
        return E_FAIL;
    }
    return zyr::console::CurrentApplicationUi().AddGroupPages(m_pAppl, m_pGroup, callback, notifyHandle);
}

HRESULT CGroupNode::SetColumnHeaders(IHeaderCtrl* header)
{
    return zyr::console::InsertNameDescriptionColumns(header, u"Securable Object");
}

HRESULT CGroupNode::OnRefresh(IConsole*)
{
    BuildObjectNodes();
    return S_OK;
}

HRESULT CGroupNode::UpdateDescriptionBar(IConsole* console)
{
    BuildObjectNodes();
    return zyr::console::SetDescriptionBar(console, static_cast<int>(m_children.size()), "%d Object",
                                           "%d Objects");
}

HRESULT CGroupNode::OnPropertyChange(IConsole* console)
{
    return zyr::console::appl::RefreshScopeItem(console, m_scopeDataItem.ID);
}

HRESULT CGroupNode::OnNewSecurableObject(bool&, CSnapInObjectRootBase* root)
{
    BuildObjectNodes(); // the new object's node joins the others
    return zyr::console::appl::RunNewItem(
        *this, m_pGroup != nullptr, zyr::console::NewItemKind::Object, "Securable Object", root,
        [this](const zyr::console::NewItemTexts& texts) {
            return zyr::records::AddObject(*m_pGroup, texts.name, texts.description);
        },
        [this](IConsole* console, CKVTApplSecObj& added) {
            AppendChild(new CApplSecObjNode(&added, m_pAppl, m_pGroup, this));
            // Selecting the group again shows it afresh, with the new object.
            console->SelectScopeItem(m_scopeDataItem.ID);
        });
}

HRESULT CGroupNode::OnDelete(IConsole* console)
{
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return S_OK;
    }
    if (m_pGroup == nullptr) {
        return E_FAIL;
    }
    const std::string name = m_pGroup->CN.str();
    if (m_pAppl != nullptr && !zyr::records::PassesDeleteLockoutGuard(*m_pAppl, m_pGroup)) {
        return S_OK;
    }
    int answer = 0;
    zyr::console::ConsoleMessageText(console,
                                     "Are you sure you want to delete the secure group '" + name + "'?",
                                     zyr::ui::MB_YESNO | zyr::ui::MB_ICONWARNING, &answer);
    if (answer != zyr::ui::IDYES) {
        return S_OK;
    }
    // A group the server did not delete stays in the console.
    if (!m_pGroup->Delete()) {
        zyr::console::appl::ShowDeleteRefused("secure group", name, console);
        return E_FAIL;
    }
    CKVTSecGroup* deleted = m_pGroup;
    CKVTAppl* application = m_pAppl;
    HRESULT hr = Withdraw(console);
    if (application != nullptr) {
        std::erase_if(application->Groups, [deleted](const auto& group) { return group.get() == deleted; });
    }
    return FAILED(hr) ? hr : S_OK;
}
