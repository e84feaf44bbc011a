// The Qt bases of property pages and dialogs are templates; this file gives
// the library its object file and checks that both headers stand alone.
#include "pages/KVTDialog.h"
#include "pages/SnapInPropertyPageImpl.h"
