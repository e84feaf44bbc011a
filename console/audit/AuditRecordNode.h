// One record of the page the Audit Trail container shows: its columns, its
// property page with the old and new values side by side, and the paging
// buttons of its container.
#pragma once

#include "console/framework/KVTSnapinData.h"
#include "console/framework/Resources.h"
#include "records/AuditTrail.h"

#include <span>
#include <string>

class CAuditTrailNode;

class CAuditRecordNode : public CKVTSnapinData<CAuditRecordNode> {
public:
    // {7D3E5B21-A4C2-4F18-B6E3-2A9F4D8C7B52}
    static constexpr NodeDescription kDescription{
        {0x7D3E5B21, 0xA4C2, 0x4F18, {0xB6, 0xE3, 0x2A, 0x9F, 0x4D, 0x8C, 0x7B, 0x52}}, u"Audit Record"};
    static constexpr UINT kToolbars[] = {zyr::console::IDR_LOG_TOOLBAR};
    static std::span<const CommandEntry<CAuditRecordNode>> CommandTable();

    CAuditRecordNode(zyr::records::AuditEntry entry, CAuditTrailNode* parent);

    HRESULT QueryPagesFor(DATA_OBJECT_TYPES type) override;
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle, IUnknown* unknown,
                                DATA_OBJECT_TYPES type) override;
    LPOLESTR GetColumnText(int column) override;
    HRESULT OnSelect(IConsole* console) override;
    HRESULT OnPreviousPage(bool& handled, CSnapInObjectRootBase* root);
    HRESULT OnNextPage(bool& handled, CSnapInObjectRootBase* root);

    const zyr::records::AuditEntry& Entry() const { return m_entry; }
    const std::string& Change() const { return m_change; }

private:
    zyr::records::AuditEntry m_entry;
    std::string m_change;
    CAuditTrailNode* m_pParent;
};
