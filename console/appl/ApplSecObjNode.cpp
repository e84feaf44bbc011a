#include "console/appl/ApplSecObjNode.h"

#include "common/StringTable.h"
#include "console/appl/ApplNodeSupport.h"
#include "console/appl/GroupNode.h"
#include "console/framework/ApplicationUi.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/PropertyChangeTargets.h"
#include "platform/ui/UiService.h"
#include "records/ConsoleAccess.h"

using zyr::com::ComPtr;

std::span<const CommandEntry<CApplSecObjNode>> CApplSecObjNode::CommandTable()
{
    static const CommandEntry<CApplSecObjNode> table[] = {
        {ID_WHO_HAS_ACCESS, &CApplSecObjNode::OnWhoHasAccess},
    };
    return table;
}

HRESULT CApplSecObjNode::OnWhoHasAccess(bool&, CSnapInObjectRootBase* root)
{
    return zyr::console::appl::ShowWhoHasAccess(*this, root, m_pAppl, m_pGroup, m_pObject);
}

CApplSecObjNode::CApplSecObjNode(CKVTApplSecObj* object, CKVTAppl* application, CKVTSecGroup* group,
                                 CGroupNode* parent)
    : m_pObject(object), m_pAppl(application), m_pGroup(group), m_pParent(parent)
{
    m_resultDataItem.nImage = 7;
    zyr::console::RegisterPropertyChangeTarget(CookieOf(this), this);
    zyr::console::RegisterPropertyChangeTarget(reinterpret_cast<LPARAM>(m_pObject), this);
}

CApplSecObjNode::~CApplSecObjNode()
{
    zyr::console::UnregisterPropertyChangeTargets(this);
}

void CApplSecObjNode::ForgetRecords()
{
    zyr::console::UnregisterPropertyChangeTarget(reinterpret_cast<LPARAM>(m_pObject), this);
    m_pObject = nullptr;
    m_pAppl = nullptr;
    m_pGroup = nullptr;
}

LPOLESTR CApplSecObjNode::GetColumnText(int column)
{
    return NameDescriptionColumnText(column, m_pObject);
}

HRESULT CApplSecObjNode::CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                             IUnknown*, DATA_OBJECT_TYPES type)
{
    if (type != CCT_SCOPE && type != CCT_RESULT) {
        return E_UNEXPECTED;
    }
    if (m_pObject == nullptr) {
        return E_FAIL;
    }
    return zyr::console::CurrentApplicationUi().AddObjectPages(m_pAppl, m_pObject, callback, notifyHandle);
}

HRESULT CApplSecObjNode::UpdateDescriptionBar(IConsole* console)
{
    const int count = m_pParent != nullptr ? static_cast<int>(m_pParent->m_children.size()) : 0;
    return zyr::console::SetDescriptionBar(console, count, "%d Object", "%d Objects");
}

HRESULT CApplSecObjNode::OnPropertyChange(IConsole* console)
{
    return zyr::console::appl::RefreshResultItem(console, m_resultDataItem.itemID);
}

HRESULT CApplSecObjNode::OnDelete(IConsole* console)
{
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return S_OK;
    }
    if (m_pObject == nullptr) {
        return E_FAIL;
    }
    const std::string name = m_pObject->CN.str();
    if (m_pAppl != nullptr && m_pGroup != nullptr &&
        !zyr::records::PassesDeleteLockoutGuard(*m_pAppl, m_pGroup, m_pObject)) {
        return S_OK;
    }
    int answer = zyr::ui::Ui().MessageBox(
        nullptr, "Are you sure you want to delete the securable object " + name + "?",
        zyr::LoadStringAnsi(zyr::IDS_PROJNAME), zyr::ui::MB_ICONWARNING | zyr::ui::MB_YESNO);
    if (answer != zyr::ui::IDYES) {
        return S_OK;
    }
    zyr::ui::WaitCursor wait;
    // An object the server did not delete stays in the console.
    if (!m_pObject->Delete()) {
        zyr::console::appl::ShowDeleteRefused("securable object", name);
        return E_FAIL;
    }
    CKVTApplSecObj* deleted = m_pObject;
    CKVTSecGroup* group = m_pGroup;
    ForgetRecords();
    if (group != nullptr) {
        std::erase_if(group->Objects, [deleted](const auto& object) { return object.get() == deleted; });
    }
    if (m_pParent != nullptr) {
        m_pParent->RemoveChild(this);
    }
    ComPtr<IResultData> resultData = ComPtr<IConsole>::Share(console).As<IResultData>();
    if (resultData && m_resultDataItem.itemID != 0) {
        resultData->DeleteItem(m_resultDataItem.itemID, 0);
    }
    m_bPresent = false;
    UpdateDescriptionBar(console);
    return S_OK;
}
