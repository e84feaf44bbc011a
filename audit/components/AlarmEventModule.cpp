// The alarm-and-events component module: an event source, a general event, a
// change-value event and a sender that delivers each event to the security
// server as a form POST to "?Object=Audit&Operation=Send".
//
// Fields of the form body, each value percent-encoded (UTF-8):
//   Application  the source's application name
//   User         the source's domain, "\" and account
//   Domain, Account, SourceId   the source's identity as set by its method 6
//   Computer     this computer's name
//   Kind         "General" or "ChangeValue"
//   Area, Message, EventType, Severity   the event's properties
//   Time         the event's time, an OLE automation date in UTC ("%.8f")
//   OldValue, NewValue   change-value events only
//
// The module registers its classes (DllRegisterServer) under the first
// family of ProgIDs; an installation may register the fallback family too.
#include "audit/components/AlarmEventInterfaces.h"
#include "common/ServerSettings.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ClassTable.h"
#include "platform/registry/Registry.h"
#include "platform/text/CodePage.h"
#include "platform/text/Escape.h"
#include "web/SecurityPost.h"

#include <cstdio>
#include <string>

// {3C7F1A20-5D84-4B0E-A2C6-7E91D04F3B10}
constexpr CLSID CLSID_AlarmSourceInternal = {
    0x3C7F1A20, 0x5D84, 0x4B0E, {0xA2, 0xC6, 0x7E, 0x91, 0xD0, 0x4F, 0x3B, 0x10}};
// {3C7F1A21-5D84-4B0E-A2C6-7E91D04F3B10}
constexpr CLSID CLSID_AlarmSender = {
    0x3C7F1A21, 0x5D84, 0x4B0E, {0xA2, 0xC6, 0x7E, 0x91, 0xD0, 0x4F, 0x3B, 0x10}};
// {3C7F1A22-5D84-4B0E-A2C6-7E91D04F3B10}
constexpr CLSID CLSID_AlarmGeneralEvent = {
    0x3C7F1A22, 0x5D84, 0x4B0E, {0xA2, 0xC6, 0x7E, 0x91, 0xD0, 0x4F, 0x3B, 0x10}};
// {3C7F1A23-5D84-4B0E-A2C6-7E91D04F3B10}
constexpr CLSID CLSID_AlarmChangeValueEvent = {
    0x3C7F1A23, 0x5D84, 0x4B0E, {0xA2, 0xC6, 0x7E, 0x91, 0xD0, 0x4F, 0x3B, 0x10}};

namespace {

std::u16string Text(const char16_t* text)
{
    return text != nullptr ? std::u16string(text) : std::u16string();
}

class CAlarmSource : public zyr::com::ComObject<IAlarmSourceInternal, IAlarmEventSourceInfo> {
public:
    HRESULT SetApplicationName(const char16_t* name) override
    {
        application_ = Text(name);
        return S_OK;
    }
    HRESULT SetIdentity(const char16_t* account, const char16_t* domain, const char16_t* sourceId) override
    {
        account_ = Text(account);
        domain_ = Text(domain);
        sourceId_ = Text(sourceId);
        return S_OK;
    }
    HRESULT GetApplicationName(std::u16string* name) override
    {
        if (name == nullptr) {
            return E_POINTER;
        }
        *name = application_;
        return S_OK;
    }
    HRESULT GetAccount(std::u16string* domain, std::u16string* account) override
    {
        if (domain == nullptr || account == nullptr) {
            return E_POINTER;
        }
        *domain = domain_;
        *account = account_;
        return S_OK;
    }
    HRESULT GetSourceId(std::u16string* sourceId) override
    {
        if (sourceId == nullptr) {
            return E_POINTER;
        }
        *sourceId = sourceId_;
        return S_OK;
    }

private:
    std::u16string application_, account_, domain_, sourceId_;
};

class CAlarmEvent : public zyr::com::ComObject<IAlarmChangeValueEvent, IAlarmCommonEvent> {
public:
    explicit CAlarmEvent(bool changeValue) : changeValue_(changeValue) { Initialize(); }

    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        // A general event is not a change-value event.
        if (!changeValue_ && iid == IID_IAlarmChangeValueEvent) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(iid, object);
    }
    HRESULT SetArea(const char16_t* area) override
    {
        fields_.area = Text(area);
        return S_OK;
    }
    HRESULT SetSource(IAlarmEventSourceInfo* source) override
    {
        source_ = zyr::com::ComPtr<IAlarmEventSourceInfo>::Share(source);
        return S_OK;
    }
    HRESULT SetMessage(const char16_t* message) override
    {
        fields_.message = Text(message);
        return S_OK;
    }
    HRESULT SetTime(DATE time) override
    {
        fields_.time = time;
        return S_OK;
    }
    HRESULT SetEventType(LONG type) override
    {
        fields_.eventType = type;
        return S_OK;
    }
    HRESULT Initialize() override
    {
        fields_ = AlarmEventFields{};
        fields_.kind = changeValue_ ? u"ChangeValue" : u"General";
        return S_OK;
    }
    HRESULT SetSeverity(LONG severity) override
    {
        fields_.severity = severity;
        return S_OK;
    }
    HRESULT SetValues(const char16_t* oldValue, const char16_t* newValue) override
    {
        fields_.oldValue = Text(oldValue);
        fields_.newValue = Text(newValue);
        return S_OK;
    }
    HRESULT GetFields(AlarmEventFields* fields) override
    {
        if (fields == nullptr) {
            return E_POINTER;
        }
        *fields = fields_;
        return S_OK;
    }
    HRESULT GetSource(IAlarmEventSourceInfo** source) override
    {
        if (source == nullptr) {
            return E_POINTER;
        }
        *source = zyr::com::ComPtr<IAlarmEventSourceInfo>(source_).Detach();
        return S_OK;
    }

private:
    bool changeValue_;
    AlarmEventFields fields_;
    zyr::com::ComPtr<IAlarmEventSourceInfo> source_;
};

std::string Utf8(const std::u16string& text)
{
    std::string out;
    zyr::text::FromWide(text, out);
    return out;
}

// Whether a POST result reports a delivered event.
bool Delivered(const std::string& result)
{
    if (result.empty() || (result[0] >= '0' && result[0] <= '9')) {
        return false; // no server, a failure status or a transport failure
    }
    return result.find("error") == std::string::npos && result.find("Error") == std::string::npos &&
           result.find("TAVOS_Send_Failed") == std::string::npos;
}

class CAlarmSender : public zyr::com::ComObject<IAlarmSender> {
public:
    HRESULT Send(IAlarmCommonEvent* event) override
    {
        if (event == nullptr) {
            return E_POINTER;
        }
        AlarmEventFields fields;
        HRESULT hr = event->GetFields(&fields);
        if (FAILED(hr)) {
            return hr;
        }
        std::u16string application, domain, account, sourceId;
        zyr::com::ComPtr<IAlarmEventSourceInfo> source;
        if (SUCCEEDED(event->GetSource(source.Put())) && source) {
            source->GetApplicationName(&application);
            source->GetAccount(&domain, &account);
            source->GetSourceId(&sourceId);
        }
        // The configuration is read afresh for every event: the module keeps
        // no settings of its own between sends.
        zyr::ResetServerSettings();
        char url[1024] = {};
        DWORD size = sizeof(url);
        if (FAILED(GetSecurityServerUrl(url, &size)) || url[0] == '\0') {
            return E_FAIL;
        }
        char time[64];
        std::snprintf(time, sizeof(time), "%.8f", fields.time);
        std::string body;
        zyr::text::AppendFormField(body, "Application", Utf8(application));
        zyr::text::AppendFormField(body, "User", Utf8(domain) + "\\" + Utf8(account));
        zyr::text::AppendFormField(body, "Domain", Utf8(domain));
        zyr::text::AppendFormField(body, "Account", Utf8(account));
        zyr::text::AppendFormField(body, "SourceId", Utf8(sourceId));
        zyr::text::AppendFormField(body, "Computer", GetLocalComputerName());
        zyr::text::AppendFormField(body, "Kind", Utf8(fields.kind));
        zyr::text::AppendFormField(body, "Area", Utf8(fields.area));
        zyr::text::AppendFormField(body, "Message", Utf8(fields.message));
        zyr::text::AppendFormField(body, "EventType", std::to_string(fields.eventType));
        zyr::text::AppendFormField(body, "Severity", std::to_string(fields.severity));
        zyr::text::AppendFormField(body, "Time", time);
        if (fields.kind == u"ChangeValue") {
            zyr::text::AppendFormField(body, "OldValue", Utf8(fields.oldValue));
            zyr::text::AppendFormField(body, "NewValue", Utf8(fields.newValue));
        }
        std::string result = PostSecurityRequest(std::string(url) + "?Object=Audit&Operation=Send", body);
        return Delivered(result) ? S_OK : E_FAIL;
    }
};

struct ClassEntry {
    const CLSID* clsid;
    const char* progId;
    const char* fallbackProgId;
};
const ClassEntry kClasses[] = {
    {&CLSID_AlarmSourceInternal, "Morvel.AuditAndCompliance.SourceInternal",
     "Morvel.AlarmEvent.SourceInternal"},
    {&CLSID_AlarmSender, "Morvel.AuditAndCompliance.Sender", "Morvel.AlarmEvent.Sender"},
    {&CLSID_AlarmGeneralEvent, "Morvel.AuditAndCompliance.GeneralEvent", "Morvel.AlarmEvent.GeneralEvent"},
    {&CLSID_AlarmChangeValueEvent, "Morvel.AuditAndCompliance.ChangeValueEvent",
     "Morvel.AlarmEvent.ChangeValueEvent"},
};

} // namespace

#define ZYR_EXPORT extern "C" __attribute__((visibility("default")))

ZYR_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (clsid == CLSID_AlarmSourceInternal) {
        return zyr::com::OfferClassObject(
            []() -> IUnknown* { return static_cast<IAlarmSourceInternal*>(new CAlarmSource); }, iid, object);
    }
    if (clsid == CLSID_AlarmSender) {
        return zyr::com::OfferClassObject(
            []() -> IUnknown* { return static_cast<IAlarmSender*>(new CAlarmSender); }, iid, object);
    }
    if (clsid == CLSID_AlarmGeneralEvent || clsid == CLSID_AlarmChangeValueEvent) {
        bool changeValue = clsid == CLSID_AlarmChangeValueEvent;
        return zyr::com::OfferClassObject(
            [changeValue]() -> IUnknown* {
                return static_cast<IAlarmChangeValueEvent*>(new CAlarmEvent(changeValue));
            },
            iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Writes HKCR\CLSID\{...}\InprocServer32 and the first family's ProgIDs; with
// the environment variable ZYR_ALARM_EVENT_FALLBACK_FAMILY set, the fallback
// family's ProgIDs instead.
ZYR_EXPORT HRESULT DllRegisterServer()
{
    std::string path = zyr::com::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    if (path.empty()) {
        return E_UNEXPECTED;
    }
    bool fallback = std::getenv("ZYR_ALARM_EVENT_FALLBACK_FAMILY") != nullptr;
    for (const ClassEntry& entry : kClasses) {
        const char* progId = fallback ? entry.fallbackProgId : entry.progId;
        if (!zyr::com::RegisterInprocClass(*entry.clsid, progId, path)) {
            return E_FAIL;
        }
    }
    return S_OK;
}

ZYR_EXPORT HRESULT DllUnregisterServer()
{
    for (const ClassEntry& entry : kClasses) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + zyr::com::GuidToString(*entry.clsid)).c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, entry.progId);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, entry.fallbackProgId);
    }
    return S_OK;
}
