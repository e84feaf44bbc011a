#include "console/log/LogInstanceNode.h"

#include "common/RequestFrame.h"
#include "common/StringTable.h"
#include "console/framework/NodeHelpers.h"
#include "console/log/LogNode.h"
#include "platform/ui/UiService.h"

using zyr::com::ComPtr;

std::span<const CommandEntry<CLogInstanceNode>> CLogInstanceNode::CommandTable()
{
    static const CommandEntry<CLogInstanceNode> table[] = {
        {CLogNode::ID_PREVIOUS_LOGS, &CLogInstanceNode::OnPreviousLogs},
        {CLogNode::ID_NEXT_LOGS, &CLogInstanceNode::OnNextLogs},
    };
    return table;
}

CLogInstanceNode::CLogInstanceNode(std::shared_ptr<CKVTLog> entry, CKVTLogList* list, CLogNode* parent)
    : m_pLog(std::move(entry)), m_pLogList(list), m_pParent(parent)
{
    m_resultDataItem.nImage = m_pLog != nullptr && m_pLog->IsFailed() ? kFailedImage : kSucceededImage;
}

HRESULT CLogInstanceNode::QueryPagesFor(DATA_OBJECT_TYPES type)
{
    return type == CCT_SCOPE || type == CCT_RESULT ? S_OK : S_FALSE;
}

LPOLESTR CLogInstanceNode::GetColumnText(int column)
{
    if (m_pLog == nullptr) {
        return ColumnText(column, u"");
    }
    return ColumnTextsA(
        column, {m_pLog->DateTime.view(), m_pLog->User.view(), m_pLog->Action.view(), m_pLog->Status.view()});
}

HRESULT CLogInstanceNode::OnSelect(IConsole* console)
{
    return zyr::console::EnableVerbs(console, {MMC_VERB_DELETE});
}

HRESULT CLogInstanceNode::UpdateDescriptionBar(IConsole* console)
{
    const int count = m_pLogList != nullptr ? static_cast<int>(m_pLogList->Entries().size()) : 0;
    return zyr::console::SetDescriptionBar(console, count, "%d Log Item", "%d Log Items");
}

HRESULT CLogInstanceNode::OnDelete(IConsole* console)
{
    if (m_pLog == nullptr) {
        return S_OK; // deleted before; the console still had the row
    }
    const std::string caption = zyr::LoadStringAnsi(zyr::IDS_PROJNAME);
    if (zyr::ui::Ui().MessageBox(nullptr, zyr::LoadStringAnsi(zyr::IDS_CONFIRM_DELETE_LOG), caption,
                                 zyr::ui::MB_YESNO | zyr::ui::MB_ICONWARNING) != zyr::ui::IDYES) {
        return S_OK;
    }
    // The request carries the operator's account; the entry's own account
    // comes back when the server refuses, since the entry then stays shown.
    const std::string account = m_pLog->User.str();
    m_pLog->User = zyr::CurrentUserName();
    bool deleted;
    {
        zyr::ui::WaitCursor wait;
        deleted = m_pLog->Delete();
    }
    if (!deleted) {
        m_pLog->User = account;
        zyr::ui::Ui().MessageBox(nullptr, zyr::LoadStringAnsi(zyr::IDS_LOG_NOT_DELETED), caption,
                                 zyr::ui::MB_OK | zyr::ui::MB_ICONERROR);
        return S_OK;
    }
    if (m_pLogList != nullptr) {
        m_pLogList->Remove(m_pLog.get());
    }
    m_pLog.reset();
    if (ComPtr<IResultData> resultData = ComPtr<IConsole>::Share(console).As<IResultData>()) {
        resultData->DeleteItem(m_resultDataItem.itemID, 0);
    }
    if (m_pParent != nullptr) {
        m_pParent->RemoveChild(this); // the node stays allocated: the console holds its cookie
    }
    return UpdateDescriptionBar(console);
}

HRESULT CLogInstanceNode::OnPreviousLogs(bool& handled, CSnapInObjectRootBase* root)
{
    return m_pParent != nullptr ? m_pParent->OnPreviousPage(handled, root) : S_OK;
}

HRESULT CLogInstanceNode::OnNextLogs(bool& handled, CSnapInObjectRootBase* root)
{
    return m_pParent != nullptr ? m_pParent->OnNextPage(handled, root) : S_OK;
}
