#include "console/framework/SnapInDataObject.h"
#include "console/framework/SnapinIds.h"
#include "console/root/RootNode.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/console/TestNodes.h"

#include <cstring>

using namespace zyr::testing;
using zyr::com::ComPtr;

namespace {

// A data object of another snap-in: it answers every format, writing an
// address of its own choosing.
class ForeignDataObject : public zyr::com::ComObject<IDataObject> {
public:
    HRESULT GetData(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM* medium) override
    {
        ++asked;
        std::memset(medium->hGlobal, 0x5A, medium->size);
        return S_OK;
    }
    HRESULT QueryGetData(FORMATETC*) override { return S_OK; }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IUnknown**) override { return E_NOTIMPL; }
    HRESULT DAdvise(FORMATETC*, DWORD, IUnknown*, DWORD*) override { return E_NOTIMPL; }
    HRESULT DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT EnumDAdvise(IUnknown**) override { return E_NOTIMPL; }
    int asked = 0;
};

class DataObjectTest : public ConsoleFixture {
protected:
    ComPtr<IDataObject> DataObjectOf(CSnapInItem& item, DATA_OBJECT_TYPES type)
    {
        ComPtr<IDataObject> dataObject;
        EXPECT_EQ(S_OK, item.GetDataObject(dataObject.Put(), type));
        return dataObject;
    }
    TestContainerNode node;
};

TEST_F(DataObjectTest, FormatsOfANode)
{
    ComPtr<IDataObject> dataObject = DataObjectOf(node, CCT_SCOPE);
    std::vector<BYTE> block;

    ASSERT_EQ(S_OK, ReadFormat(dataObject.get(), u"CCF_NODETYPE", block));
    EXPECT_EQ(0, std::memcmp(block.data(), &TestContainerNode::kDescription.nodeType, sizeof(GUID)));
    EXPECT_EQ(0xCC, block[sizeof(GUID)]) << "exactly 16 bytes";

    ASSERT_EQ(S_OK, ReadFormat(dataObject.get(), u"CCF_SZNODETYPE", block));
    std::u16string text(reinterpret_cast<const char16_t*>(block.data()));
    EXPECT_EQ(u"11111111-2222-3333-4444-555555555502", text);

    ASSERT_EQ(S_OK, ReadFormat(dataObject.get(), u"CCF_DISPLAY_NAME", block));
    EXPECT_EQ(u"Test Container", std::u16string(reinterpret_cast<const char16_t*>(block.data())));

    ASSERT_EQ(S_OK, ReadFormat(dataObject.get(), u"CCF_SNAPIN_CLASSID", block));
    EXPECT_EQ(0, std::memcmp(block.data(), &CLSID_KVTSnapin, sizeof(CLSID)));

    EXPECT_EQ(DV_E_CLIPFORMAT, ReadFormat(dataObject.get(), u"CCF_MMC_MULTISELECT_DATAOBJECT", block));
    EXPECT_EQ(DV_E_CLIPFORMAT, ReadFormat(dataObject.get(), u"SomeOtherFormat", block));

    // The root names itself with the product title.
    CRootNode root;
    ComPtr<IDataObject> rootObject = DataObjectOf(root, CCT_SCOPE);
    ASSERT_EQ(S_OK, ReadFormat(rootObject.get(), u"CCF_DISPLAY_NAME", block));
    EXPECT_EQ(u"ZYR Security Manager", std::u16string(reinterpret_cast<const char16_t*>(block.data())));
}

TEST_F(DataObjectTest, OnlyGetDataHereOverACallerBlock)
{
    ComPtr<IDataObject> dataObject = DataObjectOf(node, CCT_RESULT);
    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat(u"CCF_NODETYPE");
    STGMEDIUM medium;
    EXPECT_EQ(E_NOTIMPL, dataObject->GetData(&format, &medium));
    EXPECT_EQ(E_NOTIMPL, dataObject->QueryGetData(&format));
    EXPECT_EQ(E_NOTIMPL, dataObject->EnumFormatEtc(1, nullptr));
    EXPECT_EQ(E_POINTER, dataObject->GetDataHere(&format, nullptr));

    BYTE block[64] = {};
    medium.hGlobal = block;
    medium.size = sizeof(block);
    medium.tymed = TYMED_ISTREAM;
    EXPECT_EQ(DV_E_TYMED, dataObject->GetDataHere(&format, &medium));

    // A block too small for the text is refused, never overrun.
    std::vector<BYTE> tiny;
    EXPECT_EQ(STG_E_MEDIUMFULL, ReadFormat(dataObject.get(), u"CCF_DISPLAY_NAME", tiny, 8));
    EXPECT_EQ(0xCC, tiny[0]);
}

TEST_F(DataObjectTest, FindingTheNodeOfADataObject)
{
    ComPtr<IDataObject> dataObject = DataObjectOf(node, CCT_RESULT);
    CSnapInItem* item = nullptr;
    DATA_OBJECT_TYPES type = CCT_UNINITIALIZED;
    ASSERT_EQ(S_OK, CSnapInItem::GetDataClass(dataObject.get(), &item, &type));
    EXPECT_EQ(&node, item);
    EXPECT_EQ(CCT_RESULT, type);

    EXPECT_EQ(E_NOTIMPL, CSnapInItem::GetDataClass(nullptr, &item, &type));
    EXPECT_EQ(nullptr, item);
    EXPECT_EQ(CCT_UNINITIALIZED, type);
    for (intptr_t special = -10; special <= -1; ++special) {
        EXPECT_EQ(E_NOTIMPL,
                  CSnapInItem::GetDataClass(reinterpret_cast<IDataObject*>(special), &item, &type));
    }

    auto foreign = ComPtr<ForeignDataObject>::Attach(new ForeignDataObject);
    EXPECT_EQ(E_NOTIMPL, CSnapInItem::GetDataClass(foreign.get(), &item, &type));
    EXPECT_EQ(nullptr, item);
    EXPECT_EQ(0, foreign->asked) << "the foreign address is never read";
}

TEST_F(DataObjectTest, DataObjectsHoldTheModule)
{
    long before = zyr::console::ModuleLockCount();
    {
        ComPtr<IDataObject> dataObject = DataObjectOf(node, CCT_SCOPE);
        EXPECT_EQ(before + 1, zyr::console::ModuleLockCount());
    }
    EXPECT_EQ(before, zyr::console::ModuleLockCount());
}

} // namespace
