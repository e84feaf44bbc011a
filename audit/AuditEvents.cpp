#include "audit/AuditEvents.h"

#include "common/RequestFrame.h"
#include "common/ServerSettings.h"
#include "platform/com/ClassTable.h"
#include "platform/text/CodePage.h"

#include <chrono>

namespace zyr::audit {

HRESULT CreateByProgId(const char* progId, const char* fallbackProgId, const IID& iid, void** object)
{
    *object = nullptr;
    HRESULT hr = E_FAIL;
    for (const char* name : {progId, fallbackProgId}) {
        CLSID clsid{};
        hr = CLSIDFromProgIDA(name, &clsid);
        if (SUCCEEDED(hr)) {
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object);
        }
        if (SUCCEEDED(hr)) {
            return hr;
        }
    }
    return hr;
}

DATE CurrentUtcDate()
{
    using namespace std::chrono;
    double seconds = duration<double>(system_clock::now().time_since_epoch()).count();
    // 25569 days lie between 30 December 1899 and 1 January 1970.
    return 25569.0 + seconds / 86400.0;
}

} // namespace zyr::audit

namespace {

template <typename T>
HRESULT Create(const char* progId, const char* fallbackProgId, zyr::com::ComPtr<T>& out)
{
    return zyr::audit::CreateByProgId(progId, fallbackProgId, T::InterfaceId(), out.PutVoid());
}

bool CanCreate(const char* progId, const char* fallbackProgId)
{
    zyr::com::ComPtr<IDispatch> object;
    return SUCCEEDED(Create(progId, fallbackProgId, object));
}

// Attaches a source, a sender and a general event to the context, creating
// those it lacks; a failure of the source's naming is forgiven only while
// objects still have to be created.
HRESULT PrepareContext(AuditEventContext& context)
{
    using namespace zyr::audit;
    HRESULT hr = S_OK;
    if (!context.source) {
        hr = Create(kSourceProgId, kSourceFallbackProgId, context.source);
        if (FAILED(hr)) {
            return hr;
        }
    }
    HRESULT pending = context.source->SetApplicationName(zyr::text::Widen(context.applicationName).c_str());
    if (!context.sender) {
        hr = Create(kSenderProgId, kSenderFallbackProgId, context.sender);
        if (FAILED(hr)) {
            return hr;
        }
    } else if (FAILED(pending)) {
        return pending;
    }
    if (!context.generalEvent) {
        hr = Create(kGeneralEventProgId, kGeneralEventFallbackProgId, context.generalEvent);
        if (FAILED(hr)) {
            return hr;
        }
    } else if (FAILED(pending)) {
        return pending;
    }
    zyr::com::ComPtr<IAlarmEventSourceInfo> sourceInfo = context.source.As<IAlarmEventSourceInfo>();
    if (!sourceInfo) {
        return E_NOINTERFACE;
    }
    hr = context.source->SetIdentity(zyr::text::Widen(context.accountName).c_str(),
                                     zyr::text::Widen(context.domain).c_str(), kConsoleSourceId);
    if (FAILED(hr)) {
        return hr;
    }
    return context.generalEvent->SetSource(sourceInfo.get());
}

} // namespace

bool CanCreateAuditComponents()
{
    using namespace zyr::audit;
    return CanCreate(kSourceProgId, kSourceFallbackProgId) &&
           CanCreate(kChangeValueEventProgId, kChangeValueEventFallbackProgId) &&
           CanCreate(kSenderProgId, kSenderFallbackProgId);
}

HRESULT SendGeneralEvent(AuditEventContext& context, const std::string& message)
{
    HRESULT hr = PrepareContext(context);
    if (FAILED(hr)) {
        return hr;
    }
    std::string text =
        message + " by " + context.domain + "\\" + context.accountName + " at " + context.computerName;
    IAlarmGeneralEvent* event = context.generalEvent.get();
    if (FAILED(hr = event->Initialize()) || FAILED(hr = event->SetArea(u"")) ||
        FAILED(hr = event->SetSeverity(-1)) || FAILED(hr = event->SetEventType(101)) ||
        FAILED(hr = event->SetMessage(zyr::text::Widen(text).c_str())) ||
        FAILED(hr = event->SetTime(zyr::audit::CurrentUtcDate()))) {
        return hr;
    }
    zyr::com::ComPtr<IAlarmCommonEvent> common;
    hr = event->QueryInterface(IAlarmCommonEvent::InterfaceId(), common.PutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    return context.sender->Send(common.get());
}

HRESULT ActivateComplianceEvent()
{
    AuditEventContext context;
    context.applicationName = zyr::audit::kFrameworkApplicationName;
    context.computerName = GetLocalComputerName();
    // Filled from the operating system's account when nobody signed in yet.
    const std::string& operatorName = zyr::CurrentUserName();
    size_t slash = operatorName.find('\\');
    if (slash == std::string::npos) {
        context.accountName = operatorName;
    } else {
        context.domain = operatorName.substr(0, slash);
        context.accountName = operatorName.substr(slash + 1);
    }
    return SendGeneralEvent(context, zyr::audit::kActivationMessage);
}
