#include "audit/AuditEvents.h"
#include "audit/ComponentModules.h"
#include "platform/com/ClassTable.h"
#include "platform/text/CodePage.h"
#include "tests/audit/AuditFixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using zyr::testing::AuditFixture;
using zyr::testing::TempRegistry;

// Every call of the fake components, in order, with its values.
struct CallLog {
    std::vector<std::string> calls;
    void Add(std::string call) { calls.push_back(std::move(call)); }
};

std::string N(const char16_t* text)
{
    return text ? zyr::text::Narrow(text) : "(null)";
}

class FakeSource : public zyr::com::ComObject<IAlarmSourceInternal, IAlarmEventSourceInfo> {
public:
    explicit FakeSource(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}
    HRESULT SetApplicationName(const char16_t* name) override
    {
        log_->Add("source.5(" + N(name) + ")");
        return S_OK;
    }
    HRESULT SetIdentity(const char16_t* account, const char16_t* domain, const char16_t* id) override
    {
        log_->Add("source.6(" + N(account) + "," + N(domain) + "," + N(id) + ")");
        return S_OK;
    }
    HRESULT GetApplicationName(std::u16string*) override { return S_OK; }
    HRESULT GetAccount(std::u16string*, std::u16string*) override { return S_OK; }
    HRESULT GetSourceId(std::u16string*) override { return S_OK; }

private:
    std::shared_ptr<CallLog> log_;
};

class FakeEvent : public zyr::com::ComObject<IAlarmChangeValueEvent, IAlarmCommonEvent> {
public:
    explicit FakeEvent(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}
    HRESULT SetArea(const char16_t* area) override
    {
        log_->Add("event.2(" + N(area) + ")");
        return S_OK;
    }
    HRESULT SetSource(IAlarmEventSourceInfo* source) override
    {
        log_->Add(source ? "event.4(source)" : "event.4(null)");
        return S_OK;
    }
    HRESULT SetMessage(const char16_t* message) override
    {
        log_->Add("event.7(" + N(message) + ")");
        return S_OK;
    }
    HRESULT SetTime(DATE time) override
    {
        time_ = time;
        log_->Add("event.9");
        return S_OK;
    }
    HRESULT SetEventType(LONG type) override
    {
        log_->Add("event.16(" + std::to_string(type) + ")");
        return S_OK;
    }
    HRESULT Initialize() override
    {
        log_->Add("event.17");
        return S_OK;
    }
    HRESULT SetSeverity(LONG severity) override
    {
        log_->Add("event.20(" + std::to_string(severity) + ")");
        return S_OK;
    }
    HRESULT SetValues(const char16_t*, const char16_t*) override { return S_OK; }
    HRESULT GetFields(AlarmEventFields*) override { return S_OK; }
    HRESULT GetSource(IAlarmEventSourceInfo** source) override
    {
        *source = nullptr;
        return S_OK;
    }
    DATE time_ = 0;

private:
    std::shared_ptr<CallLog> log_;
};

class FakeSender : public zyr::com::ComObject<IAlarmSender> {
public:
    FakeSender(std::shared_ptr<CallLog> log, HRESULT result) : log_(std::move(log)), result_(result) {}
    HRESULT Send(IAlarmCommonEvent* event) override
    {
        log_->Add(event ? "sender.1(event)" : "sender.1(null)");
        return result_;
    }

private:
    std::shared_ptr<CallLog> log_;
    HRESULT result_;
};

constexpr CLSID kFakeClsids[] = {
    {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}},
    {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}},
    {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}},
    {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 4}},
};

class AuditEventsTest : public AuditFixture {
protected:
    void SetUp() override
    {
        AuditFixture::SetUp();
        host = "PC01";
    }

    // Registers the fakes under the first family or the fallback family; a
    // role left out is not registered at all.
    void RegisterFakes(bool fallback, bool withSender = true, HRESULT sendResult = S_OK)
    {
        using namespace zyr::audit;
        const char* progIds[] = {fallback ? kSourceFallbackProgId : kSourceProgId,
                                 fallback ? kSenderFallbackProgId : kSenderProgId,
                                 fallback ? kGeneralEventFallbackProgId : kGeneralEventProgId,
                                 fallback ? kChangeValueEventFallbackProgId : kChangeValueEventProgId};
        auto log = calls;
        zyr::com::RegisterClass(kFakeClsids[0], [log](const IID& iid, void** object) {
            return Hand(static_cast<IAlarmSourceInternal*>(new FakeSource(log)), iid, object);
        });
        zyr::com::RegisterClass(kFakeClsids[1], [log, sendResult](const IID& iid, void** object) {
            return Hand(static_cast<IAlarmSender*>(new FakeSender(log, sendResult)), iid, object);
        });
        for (int i : {2, 3}) {
            zyr::com::RegisterClass(kFakeClsids[i], [log](const IID& iid, void** object) {
                return Hand(static_cast<IAlarmChangeValueEvent*>(new FakeEvent(log)), iid, object);
            });
        }
        for (int i = 0; i < 4; ++i) {
            if (i == 1 && !withSender) {
                continue;
            }
            std::string key = std::string(progIds[i]) + "\\CLSID";
            TempRegistry::SetText(HKEY_CLASSES_ROOT, key.c_str(), nullptr,
                                  zyr::com::GuidToString(kFakeClsids[i]));
        }
    }

    static HRESULT Hand(IUnknown* created, const IID& iid, void** object)
    {
        HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    }

    std::shared_ptr<CallLog> calls = std::make_shared<CallLog>();
};

TEST_F(AuditEventsTest, ActivationCallsTheNumberedMethodsInOrderWithTheOperatorAndComputer)
{
    RegisterFakes(false);
    zyr::SetCurrentUserName("CORP\\jdoe");
    EXPECT_EQ(ActivateComplianceEvent(), S_OK);
    std::vector<std::string> expected{
        "source.5(Morvel Framework)",
        "source.6(jdoe,CORP," + N(zyr::audit::kConsoleSourceId) + ")",
        "event.4(source)",
        "event.17",
        "event.2()",
        "event.20(-1)",
        "event.16(101)",
        "event.7(The compliance-enabling features have been activated by CORP\\jdoe at PC01)",
        "event.9",
        "sender.1(event)",
    };
    EXPECT_EQ(calls->calls, expected);
}

TEST_F(AuditEventsTest, AnInstallationWithOnlyTheFallbackFamilyActivatesThroughIt)
{
    RegisterFakes(true);
    zyr::SetCurrentUserName("jdoe"); // no domain: the account is the whole text
    EXPECT_TRUE(CanCreateAuditComponents());
    EXPECT_EQ(ActivateComplianceEvent(), S_OK);
    ASSERT_GE(calls->calls.size(), 2u);
    EXPECT_EQ(calls->calls.at(1).substr(0, 16), "source.6(jdoe,,{");
    EXPECT_EQ(calls->calls.back(), "sender.1(event)");
}

TEST_F(AuditEventsTest, WithoutASenderNothingCanBeCreatedOrSent)
{
    RegisterFakes(false, false);
    EXPECT_FALSE(CanCreateAuditComponents());
    zyr::SetCurrentUserName("CORP\\jdoe");
    HRESULT hr = ActivateComplianceEvent();
    EXPECT_TRUE(FAILED(hr));
    for (const std::string& call : calls->calls) {
        EXPECT_EQ(call.find("sender"), std::string::npos) << call;
    }
}

TEST_F(AuditEventsTest, AFailedSendIsTheActivationsResult)
{
    RegisterFakes(false, true, E_UNEXPECTED);
    EXPECT_EQ(ActivateComplianceEvent(), E_UNEXPECTED);
}

TEST_F(AuditEventsTest, NothingRegisteredMeansNoComponents)
{
    EXPECT_FALSE(CanCreateAuditComponents());
    AuditEventContext context;
    EXPECT_TRUE(FAILED(SendGeneralEvent(context, "x")));
}

// The module delivers the activation to the security server.
TEST_F(AuditEventsTest, TheComponentModuleSendsTheActivationToTheServer)
{
    ASSERT_EQ(zyr::audit::RegisterComponentModule(ZYR_ALARM_EVENTS_MODULE), S_OK);
    EXPECT_TRUE(CanCreateAuditComponents());

    replies["?Object=Audit&Operation=Send"] = "OK";
    zyr::SetCurrentUserName("CORP\\jdoe");
    EXPECT_EQ(ActivateComplianceEvent(), S_OK);
    ASSERT_EQ(server.RequestCount(), 1u);
    auto request = server.Requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_NE(request.target.find("?Object=Audit&Operation=Send"), std::string::npos);
    EXPECT_NE(
        request.body.find("Message=The%20compliance-enabling%20features%20have%20been%20activated%20by%20"
                          "CORP%5Cjdoe%20at%20PC01"),
        std::string::npos)
        << request.body;
    EXPECT_NE(request.body.find("Application=Morvel%20Framework"), std::string::npos);
    EXPECT_NE(request.body.find("User=CORP%5Cjdoe"), std::string::npos);
    EXPECT_NE(request.body.find("Computer=PC01"), std::string::npos);
    EXPECT_NE(request.body.find("EventType=101&Severity=-1"), std::string::npos);

    // The server's refusal is the send's failure.
    replies["?Object=Audit&Operation=Send"] = "TAVOS_Send_Failed";
    EXPECT_EQ(ActivateComplianceEvent(), E_FAIL);
}

} // namespace
