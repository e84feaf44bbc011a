// The toolbars the snap-in's view attaches to a session, and their buttons.
#include "host/ConsoleSession.h"

namespace zyr::host {

using zyr::com::ComPtr;

ToolbarModel* ConsoleSession::NewToolbar(IExtendControlbar* owner)
{
    auto model = std::make_unique<ToolbarModel>();
    model->owner = owner;
    toolbars_.push_back(std::move(model));
    MarkToolbars();
    return toolbars_.back().get();
}

void ConsoleSession::ToolbarChanged()
{
    MarkToolbars();
}

HRESULT ConsoleSession::ClickButton(const ToolbarModel& toolbar, int command)
{
    if (toolbar.owner == nullptr || !focus_) {
        return E_UNEXPECTED;
    }
    Call call(*this);
    ComPtr<IDataObject> data = DataObjectOf(focus_);
    if (!data) {
        return E_UNEXPECTED;
    }
    return toolbar.owner->ControlbarNotify(MMCN_BTN_CLICK, reinterpret_cast<LPARAM>(data.get()), command);
}

} // namespace zyr::host
