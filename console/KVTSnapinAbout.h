// Answers the console's questions about the snap-in: its description,
// maker, version and images.
#pragma once

#include "console/framework/ModuleState.h"
#include "platform/com/Unknown.h"
#include "platform/mmc/ConsoleInterfaces.h"

class CKVTSnapinAbout : public zyr::com::ComObject<ISnapinAbout> {
public:
    HRESULT GetSnapinDescription(LPOLESTR* description) override;
    HRESULT GetProvider(LPOLESTR* name) override;
    HRESULT GetSnapinVersion(LPOLESTR* version) override;
    HRESULT GetSnapinImage(HBITMAP* icon) override;
    HRESULT GetStaticFolderImage(HBITMAP* smallImage, HBITMAP* smallOpenImage, HBITMAP* largeImage,
                                 COLORREF* mask) override;

private:
    zyr::console::ModuleLock lock_;
};
