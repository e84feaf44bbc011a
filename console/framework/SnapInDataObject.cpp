#include "console/framework/SnapInDataObject.h"

#include "console/framework/ClipboardFormats.h"

#include <algorithm>
#include <cstring>
#include <memory>

using zyr::com::ComPtr;

HRESULT BlockStream::Read(void* buffer, ULONG size, ULONG* read)
{
    size_t count = std::min<size_t>(size, size_ - position_);
    if (count > 0) {
        std::memcpy(buffer, block_ + position_, count);
    }
    position_ += count;
    if (read != nullptr) {
        *read = static_cast<ULONG>(count);
    }
    return count == size ? S_OK : S_FALSE;
}

HRESULT BlockStream::Write(const void* buffer, ULONG size, ULONG* written)
{
    if (written != nullptr) {
        *written = 0;
    }
    if (size > size_ - position_) {
        return STG_E_MEDIUMFULL;
    }
    if (size > 0) {
        std::memcpy(block_ + position_, buffer, size);
    }
    position_ += size;
    if (written != nullptr) {
        *written = size;
    }
    return S_OK;
}

HRESULT CSnapInDataObjectImpl::GetDataHere(FORMATETC* format, STGMEDIUM* medium)
{
    if (medium == nullptr || format == nullptr) {
        return E_POINTER;
    }
    if (medium->tymed != TYMED_HGLOBAL || medium->hGlobal == nullptr) {
        return DV_E_TYMED;
    }
    auto stream = ComPtr<BlockStream>::Attach(new (std::nothrow) BlockStream(medium->hGlobal, medium->size));
    if (!stream) {
        return E_OUTOFMEMORY;
    }
    if (format->cfFormat == zyr::console::Formats().getObjectData) {
        HRESULT hr = stream->Write(&m_objectData.item, sizeof(m_objectData.item), nullptr);
        if (SUCCEEDED(hr)) {
            hr = stream->Write(&m_objectData.type, sizeof(m_objectData.type), nullptr);
        }
        return hr;
    }
    if (m_objectData.item == nullptr) {
        return DV_E_CLIPFORMAT;
    }
    return m_objectData.item->FillData(format->cfFormat, stream.get());
}

HRESULT CSnapInItem::NodeOf(IDataObject* dataObject, CSnapInItem** item, DATA_OBJECT_TYPES* type)
{
    HRESULT hr = GetDataClass(dataObject, item, type);
    if (SUCCEEDED(hr) && *item == nullptr) {
        return E_UNEXPECTED;
    }
    return hr;
}

HRESULT CSnapInItem::GetDataClass(IDataObject* dataObject, CSnapInItem** item, DATA_OBJECT_TYPES* type)
{
    if (item == nullptr || type == nullptr) {
        return E_POINTER;
    }
    *item = nullptr;
    *type = CCT_UNINITIALIZED;
    auto raw = reinterpret_cast<intptr_t>(dataObject);
    if (dataObject == nullptr ||
        (raw >= MMC_SPECIAL_DATAOBJECT_FIRST && raw <= MMC_SPECIAL_DATAOBJECT_LAST)) {
        return E_NOTIMPL;
    }
    // Only our own data objects carry a node address that may be followed.
    ComPtr<ISnapInDataObjectOwn> own;
    if (FAILED(dataObject->QueryInterface(IID_ISnapInDataObjectOwn, own.PutVoid())) || !own) {
        return E_NOTIMPL;
    }
    BYTE block[sizeof(CSnapInItem*) + sizeof(DWORD)] = {};
    STGMEDIUM medium;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    medium.size = sizeof(block);
    FORMATETC format;
    format.cfFormat = zyr::console::Formats().getObjectData;
    format.dwAspect = DVASPECT_CONTENT;
    format.lindex = -1;
    format.tymed = TYMED_HGLOBAL;
    HRESULT hr = dataObject->GetDataHere(&format, &medium);
    if (SUCCEEDED(hr)) {
        DWORD context = 0;
        std::memcpy(item, block, sizeof(CSnapInItem*));
        std::memcpy(&context, block + sizeof(CSnapInItem*), sizeof(context));
        *type = static_cast<DATA_OBJECT_TYPES>(context);
    }
    return hr;
}
