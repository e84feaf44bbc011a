// Client-side audit events through the alarm-and-events components: the test
// that the components can be created, and the event that reports the
// activation of the compliance features.
#pragma once

#include "audit/components/AlarmEventInterfaces.h"

#include <string>

// True when an event source, a change-value event and a sender can all be
// created, each from either family of ProgIDs.
bool CanCreateAuditComponents();

// What one event needs: who sends it from where, and the component objects,
// created on first use and released with the context.
struct AuditEventContext {
    std::string applicationName;
    std::string computerName;
    std::string domain;
    std::string accountName;
    zyr::com::ComPtr<IAlarmSourceInternal> source;
    zyr::com::ComPtr<IAlarmSender> sender;
    zyr::com::ComPtr<IAlarmGeneralEvent> generalEvent;
};

// Sends message + " by " domain "\" account " at " computer as a general event.
HRESULT SendGeneralEvent(AuditEventContext& context, const std::string& message);

// Sends "The compliance-enabling features have been activated" for the
// operator (CurrentUserName) on this computer, application "Morvel Framework".
HRESULT ActivateComplianceEvent();

namespace zyr::audit {

constexpr const char* kActivationMessage = "The compliance-enabling features have been activated";
constexpr const char* kFrameworkApplicationName = "Morvel Framework";

// Creates an object of the first ProgID's class, or of the fallback's when the
// first cannot be created, and asks it for iid. Answers the last failure.
HRESULT CreateByProgId(const char* progId, const char* fallbackProgId, const IID& iid, void** object);

// The current system time, UTC, as an OLE automation date.
DATE CurrentUtcDate();

} // namespace zyr::audit
