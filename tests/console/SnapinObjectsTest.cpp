#include "common/RequestFrame.h"
#include "common/ServerSettings.h"
#include "console/KVTSnapin.h"
#include "console/KVTSnapinAbout.h"
#include "console/KVTSnapinComponent.h"
#include "platform/text/CodePage.h"
#include "platform/ui/UiService.h"
#include "tests/console/ConsoleFixture.h"

using namespace zyr::testing;
using zyr::com::ComPtr;

namespace {

class SnapinObjectsTest : public ConsoleFixture {
protected:
    SnapinObjectsTest() : snapin(ComPtr<CKVTSnapin>::Attach(new CKVTSnapin)) {}

    ComPtr<IDataObject> RootDataObject(DATA_OBJECT_TYPES type = CCT_SCOPE)
    {
        ComPtr<IDataObject> dataObject;
        EXPECT_EQ(S_OK, snapin->QueryDataObject(0, type, dataObject.Put()));
        return dataObject;
    }

    ComPtr<IComponent> View()
    {
        ComPtr<IComponent> component;
        EXPECT_EQ(S_OK, snapin->CreateComponent(component.Put()));
        EXPECT_EQ(S_OK, component->Initialize(scripted.get()));
        return component;
    }

    ComPtr<CKVTSnapin> snapin;
};

TEST_F(SnapinObjectsTest, InitializeSetsTheScopeImagesAndKeepsTheConsole)
{
    ASSERT_EQ(S_OK, snapin->Initialize(static_cast<IConsole*>(scripted.get())));
    EXPECT_EQ(static_cast<IConsole*>(scripted.get()), snapin->m_spConsole.get());
    ASSERT_EQ(1u, scripted->strips.size());
    EXPECT_EQ(0x00808000u, scripted->strips[0].mask);
    EXPECT_TRUE(zyr::console::IsSignedIn());
    // The status bar names the server and the account signed in.
    char url[256];
    DWORD size = sizeof url;
    ASSERT_EQ(S_OK, GetSecurityServerUrl(url, &size));
    const std::u16string status = scripted->statusText;
    EXPECT_NE(std::u16string::npos, status.find(zyr::text::Widen(url))) << zyr::text::Narrow(status);
    EXPECT_NE(std::u16string::npos, status.find(zyr::text::Widen(zyr::CurrentUserName())));
    EXPECT_EQ(S_OK, snapin->Destroy());
    EXPECT_EQ(nullptr, snapin->m_spConsole.get());
}

TEST_F(SnapinObjectsTest, InitializeStopsEarlyWithoutWindowSignInOrImageList)
{
    scripted->mainWindowResult = E_FAIL;
    EXPECT_EQ(S_FALSE, snapin->Initialize(static_cast<IConsole*>(scripted.get())));
    EXPECT_TRUE(scripted->strips.empty());

    scripted->mainWindowResult = S_OK;
    struct Refused : zyr::console::StartupHooks {
        bool SignIn(HWND) override { return false; }
    } refused;
    zyr::console::SetStartupHooks(&refused);
    EXPECT_EQ(S_FALSE, snapin->Initialize(static_cast<IConsole*>(scripted.get())));
    EXPECT_TRUE(scripted->strips.empty());
    EXPECT_FALSE(zyr::console::IsSignedIn());

    // Without a sign-in step nobody is signed in and no tree is built.
    zyr::console::ResetStartupState();
    {
        zyr::ui::ScopedRecordingUi ui;
        EXPECT_EQ(S_FALSE, snapin->Initialize(static_cast<IConsole*>(scripted.get())));
        EXPECT_FALSE(zyr::console::IsSignedIn());
        EXPECT_TRUE(scripted->strips.empty());
        ASSERT_EQ(1u, ui.recorder.boxes.size());
        EXPECT_NE(std::string::npos, ui.recorder.boxes[0].text.find("No sign-in step is installed"));
    }

    zyr::console::SetStartupHooks(&signsIn);
    scripted->offerScopeImageList = false;
    EXPECT_EQ(E_UNEXPECTED, snapin->Initialize(static_cast<IConsole*>(scripted.get())));
}

TEST_F(SnapinObjectsTest, StartupStepsRunInOrderWithTheStatusWindow)
{
    struct Status : zyr::console::StatusWindow {
        explicit Status(std::vector<std::string>& s) : steps(s) {}
        void ShowStep(std::string_view text) override { steps.emplace_back(text); }
        std::vector<std::string>& steps;
    };
    struct Steps : zyr::console::StartupHooks {
        bool SignIn(HWND parent) override
        {
            steps.push_back(parent != nullptr ? "sign-in over the main window" : "sign-in without owner");
            return true;
        }
        std::unique_ptr<zyr::console::StatusWindow> OpenStatusWindow(HWND) override
        {
            return std::make_unique<Status>(steps);
        }
        void LoadRoles() override
        {
            steps.push_back(zyr::console::IsSignedIn() ? "roles after sign-in" : "roles early");
        }
        std::vector<std::string> steps;
    } hooks;
    zyr::console::SetStartupHooks(&hooks);
    ASSERT_EQ(S_OK, snapin->Initialize(static_cast<IConsole*>(scripted.get())));
    EXPECT_EQ((std::vector<std::string>{"sign-in over the main window",
                                        "Initializing the security snap-in...", "roles after sign-in",
                                        "Initializing Application Node", "Initializing Role Node",
                                        "Initializing Log Node", "Initializing Audit Trail Node"}),
              hooks.steps);
}

TEST_F(SnapinObjectsTest, QueryDataObjectForCookieZero)
{
    ComPtr<IDataObject> dataObject = RootDataObject();
    CSnapInItem* item = nullptr;
    DATA_OBJECT_TYPES type = CCT_UNINITIALIZED;
    ASSERT_EQ(S_OK, CSnapInItem::GetDataClass(dataObject.get(), &item, &type));
    EXPECT_EQ(snapin->RootNode(), item);
    EXPECT_EQ(E_POINTER, snapin->QueryDataObject(0, CCT_SCOPE, nullptr));

    ComPtr<IComponent> component = View();
    EXPECT_EQ(E_UNEXPECTED, component->QueryDataObject(0, CCT_RESULT, dataObject.Put()));
    EXPECT_EQ(E_UNEXPECTED,
              component->QueryDataObject(MMC_MULTI_SELECT_COOKIE, CCT_RESULT, dataObject.Put()));
    EXPECT_EQ(E_POINTER, component->QueryDataObject(1, CCT_RESULT, nullptr));
    ASSERT_EQ(S_OK, component->QueryDataObject(CSnapInItem::CookieOf(snapin->RootNode()), CCT_RESULT,
                                               dataObject.Put()));
}

TEST_F(SnapinObjectsTest, NotificationsReachTheRootAndViewFailuresBecomeSFalse)
{
    ComPtr<IDataObject> dataObject = RootDataObject();
    EXPECT_EQ(E_POINTER, snapin->Notify(nullptr, MMCN_SELECT, 0, 0));
    EXPECT_EQ(E_NOTIMPL, snapin->Notify(reinterpret_cast<IDataObject*>(-3), MMCN_SELECT, 0, 0));

    ASSERT_EQ(S_OK, snapin->Initialize(static_cast<IConsole*>(scripted.get())));
    EXPECT_EQ(S_OK, snapin->Notify(dataObject.get(), MMCN_EXPAND, 1, 0x77))
        << "the root lists its containers";
    ASSERT_FALSE(scripted->scopeInserts.empty());
    EXPECT_EQ(0x77, scripted->scopeInserts.back().item.relativeID);
    EXPECT_EQ(0x77, snapin->RootNode()->m_scopeDataItem.ID);

    ComPtr<IComponent> component = View();
    EXPECT_EQ(E_NOTIMPL, component->Notify(nullptr, MMCN_SELECT, 0, 0));
    EXPECT_EQ(S_OK, component->Notify(dataObject.get(), MMCN_SELECT, 0x10001, 0));
    ASSERT_EQ(1u, scripted->verbs.size());
    EXPECT_EQ(MMC_VERB_PROPERTIES, scripted->verbs[0].verb);
    EXPECT_TRUE(scripted->descriptionBar.empty()) << "the root shows no description";

    // The root inserts no column and fails; the view tells the console S_FALSE.
    EXPECT_EQ(S_FALSE, component->Notify(dataObject.get(), MMCN_SHOW, 1, 0));
    EXPECT_TRUE(scripted->columns.empty());
    EXPECT_EQ(S_FALSE, component->Notify(dataObject.get(), MMCN_SHOW, 0, 0));
    EXPECT_TRUE(scripted->resultInserts.empty());
}

TEST_F(SnapinObjectsTest, ViewKeepsTheHeaderOnlyWhileAlive)
{
    ComPtr<IComponent> component = View();
    ASSERT_EQ(1u, scripted->headers.size());
    EXPECT_EQ(static_cast<IHeaderCtrl*>(scripted.get()), scripted->headers[0]);
    EXPECT_EQ(S_OK, component->Destroy(0));
    ASSERT_EQ(2u, scripted->headers.size());
    EXPECT_EQ(nullptr, scripted->headers[1]);
}

TEST_F(SnapinObjectsTest, DisplayInformationAndComparison)
{
    SCOPEDATAITEM scope;
    scope.mask = SDI_STR;
    ASSERT_EQ(S_OK, snapin->GetDisplayInfo(&scope));
    EXPECT_EQ(std::u16string(u"ZYR Security Manager"), scope.displayname);
    EXPECT_EQ(E_POINTER, snapin->GetDisplayInfo(nullptr));

    ComPtr<IComponent> component = View();
    RESULTDATAITEM result;
    result.mask = RDI_STR;
    EXPECT_EQ(E_UNEXPECTED, component->GetDisplayInfo(&result));
    result.lParam = CSnapInItem::CookieOf(snapin->RootNode());
    result.nCol = 1;
    ASSERT_EQ(S_OK, component->GetDisplayInfo(&result));
    EXPECT_EQ(std::u16string(u"Generic Description"), result.str);

    ComPtr<IDataObject> first = RootDataObject(CCT_SCOPE);
    ComPtr<IDataObject> second = RootDataObject(CCT_RESULT);
    CRootNode other;
    ComPtr<IDataObject> third;
    ASSERT_EQ(S_OK, other.GetDataObject(third.Put(), CCT_SCOPE));
    EXPECT_EQ(S_OK, component->CompareObjects(first.get(), second.get()));
    EXPECT_EQ(S_FALSE, component->CompareObjects(first.get(), third.get()));
    EXPECT_EQ(S_OK, snapin->CompareObjects(first.get(), third.get()));
}

TEST_F(SnapinObjectsTest, WelcomePageAndHelpLiveBesideTheModule)
{
    ComPtr<IComponent> component = View();
    LPOLESTR view = nullptr;
    long options = -1;
    EXPECT_EQ(S_FALSE, component->GetResultViewType(0, &view, &options)) << "no module path: a plain list";
    EXPECT_EQ(nullptr, view);
    ComPtr<ISnapinHelp> help = ComPtr<IComponentData>::Share(snapin.get()).As<ISnapinHelp>();
    ASSERT_TRUE(help);
    LPOLESTR topic = nullptr;
    EXPECT_EQ(S_FALSE, help->GetHelpTopic(&topic));
    EXPECT_EQ(nullptr, topic);

    zyr::console::SetModulePath("/opt/zyr/lib/libzyrsnapin.so");
    ASSERT_EQ(S_OK, component->GetResultViewType(0, &view, &options));
    EXPECT_EQ(std::u16string(u"res:///opt/zyr/lib/libzyrsnapin.so/WELCOMEPAGE.HTML"), view);
    EXPECT_EQ(MMC_VIEW_OPTIONS_NOLISTVIEWS, options);
    CoTaskMemFree(view);
    ASSERT_EQ(S_OK, help->GetHelpTopic(&topic));
    EXPECT_EQ(std::u16string(u"/opt/zyr/lib/MorvelSecurityManager.chm"), topic);
    CoTaskMemFree(topic);
    EXPECT_EQ(E_POINTER, help->GetHelpTopic(nullptr));
}

TEST_F(SnapinObjectsTest, PersistenceKeepsNothing)
{
    ComPtr<IPersistStream> persist = ComPtr<IComponentData>::Share(snapin.get()).As<IPersistStream>();
    ASSERT_TRUE(persist);
    CLSID clsid;
    EXPECT_EQ(E_NOTIMPL, persist->GetClassID(&clsid));
    EXPECT_EQ(E_NOTIMPL, persist->IsDirty());
    EXPECT_EQ(S_OK, persist->Load(nullptr));
    EXPECT_EQ(S_OK, persist->Save(nullptr, 1));
}

TEST_F(SnapinObjectsTest, AboutAnswersTextsAndImages)
{
    auto about = ComPtr<CKVTSnapinAbout>::Attach(new CKVTSnapinAbout);
    LPOLESTR text = nullptr;
    ASSERT_EQ(S_OK, about->GetSnapinDescription(&text));
    EXPECT_EQ(std::u16string(u"ZYR Security Manager"), text);
    CoTaskMemFree(text);
    ASSERT_EQ(S_OK, about->GetSnapinVersion(&text));
    EXPECT_EQ(std::u16string(u"ZYR Snapin Version 4.0"), text);
    CoTaskMemFree(text);
    ASSERT_EQ(S_OK, about->GetProvider(&text));
    CoTaskMemFree(text);
    EXPECT_EQ(E_POINTER, about->GetProvider(nullptr));

    HBITMAP icon = nullptr;
    ASSERT_EQ(S_OK, about->GetSnapinImage(&icon));
    EXPECT_EQ(32, icon->width);
    HBITMAP small = nullptr, open = nullptr, large = nullptr;
    COLORREF mask = 1;
    ASSERT_EQ(S_OK, about->GetStaticFolderImage(&small, &open, &large, &mask));
    EXPECT_EQ(15, small->width);
    EXPECT_EQ(small, open);
    EXPECT_EQ(small, large);
    EXPECT_EQ(0u, mask);
}

} // namespace
