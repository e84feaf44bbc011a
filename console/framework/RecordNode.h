// A node of one record of the security database (an application, a secure
// group, a securable object, a role): its pages open from the scope tree and
// the result pane, and selecting it enables Properties and Delete and counts
// its list in the description bar (T::UpdateDescriptionBar). Base is the
// node base T builds on, CKVTChildData<T> or CKVTSnapinData<T>.
#pragma once

#include "console/framework/NodeHelpers.h"

template <typename T, typename Base>
class CRecordNode : public Base {
public:
    HRESULT QueryPagesFor(DATA_OBJECT_TYPES type) override
    {
        return type == CCT_SCOPE || type == CCT_RESULT ? S_OK : S_FALSE;
    }

    HRESULT OnSelect(IConsole* console) override
    {
        HRESULT hr = zyr::console::EnableVerbs(console, {MMC_VERB_PROPERTIES, MMC_VERB_DELETE});
        static_cast<T&>(*this).UpdateDescriptionBar(console);
        return hr;
    }
};
