// The data object that the snap-in hands the console for one node in one
// context. Of IDataObject it serves GetDataHere alone.
#pragma once

#include "console/framework/ModuleState.h"
#include "console/framework/SnapInItem.h"
#include "platform/com/Unknown.h"

// Answered only by the snap-in's own data objects, so that a data object of
// another snap-in is never taken for one of ours.
// {3B8D6E30-0F4A-4C57-9E12-6A7C5D10B310}
constexpr IID IID_ISnapInDataObjectOwn = {
    0x3B8D6E30, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x10}};

struct ISnapInDataObjectOwn : IUnknown {
    static const IID& InterfaceId() { return IID_ISnapInDataObjectOwn; }
    using BaseInterface = IUnknown;

protected:
    ~ISnapInDataObjectOwn() = default;
};

// What "CCF_GETOBJECTDATA" writes: the node and the context type.
struct SnapInObjectData {
    CSnapInItem* item;
    DWORD type;
};

class CSnapInDataObjectImpl : public zyr::com::ComObject<IDataObject, ISnapInDataObjectOwn> {
public:
    CSnapInDataObjectImpl(CSnapInItem* item, DATA_OBJECT_TYPES type) : m_objectData{item, type} {}

    HRESULT GetData(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IUnknown**) override { return E_NOTIMPL; }
    HRESULT DAdvise(FORMATETC*, DWORD, IUnknown*, DWORD*) override { return E_NOTIMPL; }
    HRESULT DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT EnumDAdvise(IUnknown**) override { return E_NOTIMPL; }

    SnapInObjectData m_objectData;

private:
    zyr::console::ModuleLock lock_;
};

constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070);

// A stream over a caller's fixed block; the block stays the caller's.
// Writes past the block's end fail with STG_E_MEDIUMFULL and write nothing.
class BlockStream : public zyr::com::ComObject<IStream> {
public:
    BlockStream(BYTE* block, size_t size) : block_(block), size_(size) {}
    HRESULT Read(void* buffer, ULONG size, ULONG* read) override;
    HRESULT Write(const void* buffer, ULONG size, ULONG* written) override;
    size_t Position() const { return position_; }

private:
    BYTE* block_;
    size_t size_;
    size_t position_ = 0;
};
