// The Qt bases of property pages and dialogs are templates; this file gives
// the library its object file and checks that both headers stand alone.
#include "console/pages/KVTDialog.h"
#include "console/pages/SnapInPropertyPageImpl.h"
