// The root of the console tree: the containers of applications, roles, logs
// and the audit trail below it, the welcome page in the result pane.
#pragma once

#include "console/framework/KVTChildData.h"
#include "console/framework/Resources.h"
#include "console/framework/StartupHooks.h"

class CRootNode : public CKVTChildData<CRootNode> {
public:
    // {3B8D6E40-0F4A-4C57-9E12-6A7C5D10B320}
    static constexpr NodeDescription kDescription{
        {0x3B8D6E40, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x20}},
        u"ZYR Security Manager"};

    static constexpr UINT kMenuId = zyr::console::IDR_ROOT_MENU;
    static constexpr long ID_ACCESS_REVIEW_REPORT = 32881;
    static std::span<const CommandEntry<CRootNode>> CommandTable();

    CRootNode();

    // "Access Review Report...": asks for a file through the save dialog and
    // writes the review of the lists the tree holds, with the audit records
    // of the last 30 days, as an HTML page (or CSV for a ".csv" name).
    HRESULT OnAccessReviewReport(bool& handled, CSnapInObjectRootBase* root);

    // The welcome page: "res://" + the module path + "/WELCOMEPAGE.HTML".
    HRESULT GetResultViewType(LPOLESTR* viewType, long* options) override;
    // "CCF_DISPLAY_NAME" answers string 100; the other formats as every node.
    HRESULT FillData(CLIPFORMAT format, IStream* stream) override;
    HRESULT CreatePropertyPages(IPropertySheetCallback* callback, LONG_PTR notifyHandle, IUnknown* unknown,
                                DATA_OBJECT_TYPES type) override;
    HRESULT QueryPagesFor(DATA_OBJECT_TYPES type) override;

    // The root shows no list, so it inserts no column.
    HRESULT SetColumnHeaders(IHeaderCtrl* header) override;
    // Enables Properties.
    HRESULT OnSelect(IConsole* console) override;

    // Builds the containers below the root, showing each step in the status
    // window (which may be null); false when one could not be made.
    BOOL InitChildren(zyr::console::StatusWindow* status);
};
