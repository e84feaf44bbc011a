#include "platform/com/ClassTable.h"

#include "tests/platform/TempRegistry.h"
#include "tests/platform/com/module/TestGreeter.h"

#include <gtest/gtest.h>

using namespace zyr::com;
using zyr::testing::TempRegistry;

namespace {

// {D3A1F6E2-5B4C-4D7E-9F80-1A2B3C4D5E6F}
constexpr CLSID CLSID_Local = {0xD3A1F6E2, 0x5B4C, 0x4D7E, {0x9F, 0x80, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F}};
// {A0B1C2D3-E4F5-4607-8192-A3B4C5D6E7F8}
constexpr IID IID_ICounter = {0xA0B1C2D3, 0xE4F5, 0x4607, {0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8}};
// {11223344-5566-4778-899A-ABBCCDDEEFF0}
constexpr IID IID_ICounter2 = {0x11223344, 0x5566, 0x4778, {0x89, 0x9A, 0xAB, 0xBC, 0xCD, 0xDE, 0xEF, 0xF0}};

struct ICounter : IUnknown {
    static const IID& InterfaceId() { return IID_ICounter; }
    using BaseInterface = IUnknown;
    virtual int Next() = 0;

protected:
    ~ICounter() = default;
};

struct ICounter2 : ICounter {
    static const IID& InterfaceId() { return IID_ICounter2; }
    using BaseInterface = ICounter;
    virtual int Peek() = 0;

protected:
    ~ICounter2() = default;
};

int g_alive = 0;

class CCounter : public ComObject<ICounter2, ITestGreeter> {
public:
    CCounter() { ++g_alive; }
    ~CCounter() override { --g_alive; }
    int Next() override { return ++value_; }
    int Peek() override { return value_; }
    HRESULT Greet(std::u16string* text) override
    {
        *text = u"local";
        return S_OK;
    }

private:
    int value_ = 0;
};

HRESULT MakeCounter(const IID& iid, void** object)
{
    auto* counter = new CCounter;
    HRESULT hr = counter->QueryInterface(iid, object);
    counter->Release();
    return hr;
}

class ClassTableTest : public ::testing::Test {
protected:
    void TearDown() override { ResetClassTable(); }
    TempRegistry registry;
};

std::string ClsidKey(const CLSID& clsid)
{
    return "CLSID\\" + GuidToString(clsid) + "\\InprocServer32";
}

} // namespace

TEST_F(ClassTableTest, InProcessClassAnswersItsInterfacesAndDiesWithItsLastReference)
{
    ASSERT_EQ(RegisterClass(CLSID_Local, MakeCounter), S_OK);
    ComPtr<ICounter> counter;
    ASSERT_EQ(CoCreateInstance(CLSID_Local, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, counter.PutVoid()),
              S_OK);
    EXPECT_EQ(g_alive, 1);
    EXPECT_EQ(counter->Next(), 1);

    // The derived interface answers for its base, and the second interface
    // reaches the same object.
    ComPtr<ICounter2> second = counter.As<ICounter2>();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Peek(), 1);
    ComPtr<ITestGreeter> greeter = counter.As<ITestGreeter>();
    ASSERT_TRUE(greeter);
    ComPtr<IUnknown> a = counter.As<IUnknown>();
    ComPtr<IUnknown> b = greeter.As<IUnknown>();
    EXPECT_EQ(a.get(), b.get()); // one identity

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(counter->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    counter.Reset();
    second.Reset();
    greeter.Reset();
    a.Reset();
    EXPECT_EQ(g_alive, 1);
    b.Reset();
    EXPECT_EQ(g_alive, 0);
}

TEST_F(ClassTableTest, FailuresAnswerTheirCodesAndNoObject)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_Local, nullptr, CLSCTX_ALL, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);

    ASSERT_EQ(RegisterClass(CLSID_Local, MakeCounter), S_OK);
    auto* outer = reinterpret_cast<IUnknown*>(&object);
    EXPECT_EQ(CoCreateInstance(CLSID_Local, outer, CLSCTX_ALL, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(CoCreateInstance(CLSID_Local, nullptr, CLSCTX_ALL, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(g_alive, 0);

    RevokeClassObject(CLSID_Local);
    EXPECT_EQ(CoCreateInstance(CLSID_Local, nullptr, CLSCTX_ALL, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
}

TEST_F(ClassTableTest, RegisteredModuleIsLoadedThroughInprocServer32)
{
    ASSERT_TRUE(TempRegistry::SetText(HKEY_CLASSES_ROOT, ClsidKey(CLSID_TestGreeter).c_str(), "",
                                      ZYR_TEST_COM_MODULE_PATH));
    ComPtr<ITestGreeter> greeter;
    ASSERT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestGreeter,
                               greeter.PutVoid()),
              S_OK);
    std::u16string text;
    EXPECT_EQ(greeter->Greet(&text), S_OK);
    EXPECT_EQ(text, u"hello from the module");

    // The class the module registered while it loaded is there (the load
    // does not hold the lock that registering takes).
    ComPtr<ITestGreeter> registered;
    EXPECT_EQ(CoCreateInstance(CLSID_TestLoadTimeClass, nullptr, CLSCTX_ALL, IID_ITestGreeter,
                               registered.PutVoid()),
              S_OK);
    RevokeClassObject(CLSID_TestLoadTimeClass);
}

TEST_F(ClassTableTest, UnloadableOrForeignModuleMeansClassNotAvailable)
{
    // A module that does not offer the class.
    ASSERT_TRUE(TempRegistry::SetText(HKEY_CLASSES_ROOT, ClsidKey(CLSID_Local).c_str(), "",
                                      ZYR_TEST_COM_MODULE_PATH));
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_Local, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
              CLASS_E_CLASSNOTAVAILABLE);

    ASSERT_TRUE(TempRegistry::SetText(HKEY_CLASSES_ROOT, ClsidKey(CLSID_Local).c_str(), "",
                                      (registry.Root() / "missing.so").string()));
    EXPECT_EQ(CoCreateInstance(CLSID_Local, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
              CLASS_E_CLASSNOTAVAILABLE);

    // A key without a path is no registration.
    ASSERT_TRUE(TempRegistry::SetText(HKEY_CLASSES_ROOT, ClsidKey(CLSID_Local).c_str(), "", ""));
    EXPECT_EQ(CoCreateInstance(CLSID_Local, nullptr, CLSCTX_ALL, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ClassTableTest, ProgIdsResolveDirectlyAndThroughCurVer)
{
    const std::string clsid = GuidToString(CLSID_TestGreeter);
    ASSERT_TRUE(TempRegistry::SetText(HKEY_CLASSES_ROOT, "Zyr.Greeter.1\\CLSID", "", clsid));
    ASSERT_TRUE(TempRegistry::SetText(HKEY_CLASSES_ROOT, "Zyr.Greeter\\CurVer", "", "Zyr.Greeter.1"));

    CLSID found = GUID_NULL;
    EXPECT_EQ(CLSIDFromProgID(u"Zyr.Greeter.1", &found), S_OK);
    EXPECT_EQ(found, CLSID_TestGreeter);
    found = GUID_NULL;
    EXPECT_EQ(CLSIDFromProgID(u"zyr.greeter", &found), S_OK); // names are case-insensitive
    EXPECT_EQ(found, CLSID_TestGreeter);

    EXPECT_EQ(CLSIDFromProgID(u"Zyr.Unknown", &found), CO_E_CLASSSTRING);
    EXPECT_EQ(found, GUID_NULL);

    // A CurVer that loops, and a CLSID that is no GUID.
    ASSERT_TRUE(TempRegistry::SetText(HKEY_CLASSES_ROOT, "Zyr.Loop.A\\CurVer", "", "Zyr.Loop.B"));
    ASSERT_TRUE(TempRegistry::SetText(HKEY_CLASSES_ROOT, "Zyr.Loop.B\\CurVer", "", "Zyr.Loop.A"));
    EXPECT_EQ(CLSIDFromProgID(u"Zyr.Loop.A", &found), CO_E_CLASSSTRING);
    ASSERT_TRUE(TempRegistry::SetText(HKEY_CLASSES_ROOT, "Zyr.Bad\\CLSID", "", "not a guid"));
    EXPECT_EQ(CLSIDFromProgID(u"Zyr.Bad", &found), CO_E_CLASSSTRING);
}
