#include "console/framework/SnapInObjectRoot.h"

void CSnapInObjectRootBase::ReleaseToolbars()
{
    for (auto& [id, toolbar] : m_toolbarMap) {
        (void)id;
        if (m_spControlbar && toolbar) {
            m_spControlbar->Detach(toolbar.get());
        }
    }
    m_toolbarMap.clear();
}
