#include "console/audit/AuditRecordNode.h"

#include "console/audit/AuditTrailNode.h"
#include "console/framework/AuditTrailUi.h"
#include "console/framework/NodeHelpers.h"
#include "records/AuditChange.h"

#include <iterator>

std::span<const CommandEntry<CAuditRecordNode>> CAuditRecordNode::CommandTable()
{
    static const CommandEntry<CAuditRecordNode> table[] = {
        {CAuditTrailNode::ID_PREVIOUS_PAGE, &CAuditRecordNode::OnPreviousPage},
        {CAuditTrailNode::ID_NEXT_PAGE, &CAuditRecordNode::OnNextPage},
    };
    return table;
}

CAuditRecordNode::CAuditRecordNode(zyr::records::AuditEntry entry, CAuditTrailNode* parent)
    : m_entry(std::move(entry)), m_change(zyr::records::ChangeSummary(m_entry)), m_pParent(parent)
{
    m_resultDataItem.nImage = CAuditTrailNode::kImage;
}

HRESULT CAuditRecordNode::QueryPagesFor(DATA_OBJECT_TYPES type)
{
    return type == CCT_RESULT ? S_OK : S_FALSE;
}

HRESULT CAuditRecordNode::CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle,
                                              IUnknown*, DATA_OBJECT_TYPES type)
{
    if (type != CCT_RESULT) {
        return E_UNEXPECTED;
    }
    return zyr::console::CurrentAuditTrailUi().AddAuditRecordPage(m_entry, callback, notifyHandle);
}

LPOLESTR CAuditRecordNode::GetColumnText(int column)
{
    return ColumnTextsA(column, {m_entry.time, m_entry.user, m_entry.computer, m_entry.object,
                                 m_entry.operation, m_entry.name, m_change});
}

HRESULT CAuditRecordNode::OnSelect(IConsole* console)
{
    HRESULT hr = zyr::console::EnableVerbs(console, {MMC_VERB_PROPERTIES});
    if (m_pParent != nullptr) {
        m_pParent->UpdateDescriptionBar(console);
    }
    return hr;
}

HRESULT CAuditRecordNode::OnPreviousPage(bool& handled, CSnapInObjectRootBase* root)
{
    return m_pParent != nullptr ? m_pParent->OnPreviousPage(handled, root) : S_OK;
}

HRESULT CAuditRecordNode::OnNextPage(bool& handled, CSnapInObjectRootBase* root)
{
    return m_pParent != nullptr ? m_pParent->OnNextPage(handled, root) : S_OK;
}
