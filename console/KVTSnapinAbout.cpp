#include "console/KVTSnapinAbout.h"

#include "common/StringTable.h"
#include "console/framework/Resources.h"

namespace {

HRESULT ResourceText(UINT id, LPOLESTR* out)
{
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    std::optional<std::u16string> text = LoadStringResource(id);
    if (!text) {
        return E_FAIL;
    }
    *out = CoTaskMemDupString(*text);
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

} // namespace

HRESULT CKVTSnapinAbout::GetSnapinDescription(LPOLESTR* description)
{
    return ResourceText(zyr::IDS_SNAPIN_DESCRIPTION, description);
}

HRESULT CKVTSnapinAbout::GetProvider(LPOLESTR* name)
{
    return ResourceText(zyr::IDS_SNAPIN_PROVIDER, name);
}

HRESULT CKVTSnapinAbout::GetSnapinVersion(LPOLESTR* version)
{
    return ResourceText(zyr::IDS_SNAPIN_VERSION, version);
}

HRESULT CKVTSnapinAbout::GetSnapinImage(HBITMAP* icon)
{
    if (icon == nullptr) {
        return E_POINTER;
    }
    *icon = zyr::console::LoadBitmapResource(zyr::console::IDI_SNAPIN_ICON);
    return *icon == nullptr ? E_FAIL : S_OK;
}

HRESULT CKVTSnapinAbout::GetStaticFolderImage(HBITMAP* smallImage, HBITMAP* smallOpenImage,
                                              HBITMAP* largeImage, COLORREF* mask)
{
    if (smallImage == nullptr || smallOpenImage == nullptr || largeImage == nullptr || mask == nullptr) {
        return E_POINTER;
    }
    HBITMAP folder = zyr::console::LoadBitmapResource(zyr::console::IDB_STATIC_FOLDER);
    *smallImage = folder;
    *smallOpenImage = folder;
    *largeImage = folder;
    *mask = 0;
    return folder == nullptr ? E_FAIL : S_OK;
}
