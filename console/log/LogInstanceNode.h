// One entry of the page the Logs container shows: its four columns, the
// failure image, the single delete and the paging buttons of its container.
#pragma once

#include "console/framework/KVTSnapinData.h"
#include "console/framework/Resources.h"
#include "records/Log.h"

#include <memory>
#include <span>

class CLogNode;

class CLogInstanceNode : public CKVTSnapinData<CLogInstanceNode> {
public:
    // {6C2F4A11-93B1-4E07-A5D2-1F8E3C7B6A41}
    static constexpr NodeDescription kDescription{
        {0x6C2F4A11, 0x93B1, 0x4E07, {0xA5, 0xD2, 0x1F, 0x8E, 0x3C, 0x7B, 0x6A, 0x41}}, u"Log Instance"};
    static constexpr UINT kToolbars[] = {zyr::console::IDR_LOG_TOOLBAR};
    static std::span<const CommandEntry<CLogInstanceNode>> CommandTable();

    // Result image of a failed attempt and of any other entry.
    static constexpr int kFailedImage = 5;
    static constexpr int kSucceededImage = 3;

    CLogInstanceNode(std::shared_ptr<CKVTLog> entry, CKVTLogList* list, CLogNode* parent);

    HRESULT QueryPagesFor(DATA_OBJECT_TYPES type) override;
    LPOLESTR GetColumnText(int column) override;

    // Slots 21 to 25.
    HRESULT OnSelect(IConsole* console) override;
    HRESULT OnDelete(IConsole* console) override;
    virtual HRESULT UpdateDescriptionBar(IConsole* console);
    virtual HRESULT OnPreviousLogs(bool& handled, CSnapInObjectRootBase* root);
    virtual HRESULT OnNextLogs(bool& handled, CSnapInObjectRootBase* root);

    const CKVTLog* Entry() const { return m_pLog.get(); }

private:
    std::shared_ptr<CKVTLog> m_pLog;
    CKVTLogList* m_pLogList;
    CLogNode* m_pParent;
};
