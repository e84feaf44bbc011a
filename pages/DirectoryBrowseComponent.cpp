#include "pages/DirectoryBrowseComponent.h"

#include "common/DirectoryClientComponents.h"
#include "pages/DirectoryBrowseDlg.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ClassTable.h"
#include "platform/text/CodePage.h"

#include <QApplication>

#include <new>

namespace zyr::pages {

namespace {

constexpr long kKindsProperty = 8;

class CDirectoryBrowse : public zyr::com::ComObject<IDirectoryClientBrowse> {
public:
    HRESULT PutBoolProperty(long, bool) override { return S_OK; }
    HRESULT PutLongProperty(long dispId, long value) override
    {
        if (dispId == kKindsProperty) {
            if ((value & (DirectoryBrowseDlg::kUsers | DirectoryBrowseDlg::kGroups)) == 0) {
                return E_INVALIDARG;
            }
            pickable_ = static_cast<int>(value);
        }
        return S_OK;
    }
    HRESULT Browse(bool* result) override
    {
        if (result == nullptr) {
            return E_POINTER;
        }
        std::string error;
        auto directory = zyr::directory::LdapDirectory::Open(error);
        DirectoryBrowseDlg dialog(std::move(directory), error, pickable_, QApplication::activeWindow());
        *result = dialog.exec() == QDialog::Accepted;
        name_ = *result ? zyr::text::Widen(dialog.PickedDn()) : std::u16string();
        return S_OK;
    }
    HRESULT GetName(std::u16string* name) override
    {
        if (name == nullptr) {
            return E_POINTER;
        }
        *name = name_;
        return S_OK;
    }

private:
    int pickable_ = DirectoryBrowseDlg::kUsers | DirectoryBrowseDlg::kGroups;
    std::u16string name_;
};

} // namespace

void InstallDirectoryBrowse()
{
    zyr::com::RegisterClass(CLSID_DirectoryClientBrowse, [](const IID& iid, void** object) -> HRESULT {
        auto* browse = new (std::nothrow) CDirectoryBrowse;
        if (browse == nullptr) {
            return E_OUTOFMEMORY;
        }
        HRESULT hr = browse->QueryInterface(iid, object);
        browse->Release();
        return hr;
    });
}

void RemoveDirectoryBrowse()
{
    zyr::com::RevokeClassObject(CLSID_DirectoryClientBrowse);
}

} // namespace zyr::pages
