// The alarm-and-events components: an event source, a general event, a
// change-value event and a sender. Callers reach them by ProgID; the
// interfaces below are their own, methods numbered after the seven of
// IUnknown and IDispatch as the framework counts them. Texts are wide and may
// be null (an empty text).
#pragma once

#include "platform/com/Unknown.h"

#include <string>

// ProgIDs of the two families; the first is tried first.
namespace zyr::audit {
constexpr const char* kSourceProgId = "Morvel.AuditAndCompliance.SourceInternal";
constexpr const char* kSenderProgId = "Morvel.AuditAndCompliance.Sender";
constexpr const char* kGeneralEventProgId = "Morvel.AuditAndCompliance.GeneralEvent";
constexpr const char* kChangeValueEventProgId = "Morvel.AuditAndCompliance.ChangeValueEvent";
constexpr const char* kSourceFallbackProgId = "Morvel.AlarmEvent.SourceInternal";
constexpr const char* kSenderFallbackProgId = "Morvel.AlarmEvent.Sender";
constexpr const char* kGeneralEventFallbackProgId = "Morvel.AlarmEvent.GeneralEvent";
constexpr const char* kChangeValueEventFallbackProgId = "Morvel.AlarmEvent.ChangeValueEvent";

// The fixed identity of the console as an event source.
constexpr const char16_t* kConsoleSourceId = u"{5B0C6E1D-7A2F-4C93-8E41-0D9F3B6A2C75}";
} // namespace zyr::audit

// {00020400-0000-0000-C000-000000000046}
constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {8E2A4C61-3B7D-4F15-9A0C-1D2E3F405162}
constexpr IID IID_IAlarmEventSourceInfo = {
    0x8E2A4C61, 0x3B7D, 0x4F15, {0x9A, 0x0C, 0x1D, 0x2E, 0x3F, 0x40, 0x51, 0x62}};
// {8E2A4C62-3B7D-4F15-9A0C-1D2E3F405162}
constexpr IID IID_IAlarmSourceInternal = {
    0x8E2A4C62, 0x3B7D, 0x4F15, {0x9A, 0x0C, 0x1D, 0x2E, 0x3F, 0x40, 0x51, 0x62}};
// {8E2A4C63-3B7D-4F15-9A0C-1D2E3F405162}
constexpr IID IID_IAlarmCommonEvent = {
    0x8E2A4C63, 0x3B7D, 0x4F15, {0x9A, 0x0C, 0x1D, 0x2E, 0x3F, 0x40, 0x51, 0x62}};
// {8E2A4C64-3B7D-4F15-9A0C-1D2E3F405162}
constexpr IID IID_IAlarmGeneralEvent = {
    0x8E2A4C64, 0x3B7D, 0x4F15, {0x9A, 0x0C, 0x1D, 0x2E, 0x3F, 0x40, 0x51, 0x62}};
// {8E2A4C65-3B7D-4F15-9A0C-1D2E3F405162}
constexpr IID IID_IAlarmChangeValueEvent = {
    0x8E2A4C65, 0x3B7D, 0x4F15, {0x9A, 0x0C, 0x1D, 0x2E, 0x3F, 0x40, 0x51, 0x62}};
// {8E2A4C66-3B7D-4F15-9A0C-1D2E3F405162}
constexpr IID IID_IAlarmSender = {
    0x8E2A4C66, 0x3B7D, 0x4F15, {0x9A, 0x0C, 0x1D, 0x2E, 0x3F, 0x40, 0x51, 0x62}};

// Marks the objects that answer for IDispatch; the callers ask for it when
// they only test that a class can be created.
struct IDispatch : IUnknown {
    static const IID& InterfaceId() { return IID_IDispatch; }
    using BaseInterface = IUnknown;

protected:
    ~IDispatch() = default;
};

// What an event source tells the sender about itself.
struct IAlarmEventSourceInfo : IUnknown {
    static const IID& InterfaceId() { return IID_IAlarmEventSourceInfo; }
    using BaseInterface = IUnknown;
    virtual HRESULT GetApplicationName(std::u16string* name) = 0;
    virtual HRESULT GetAccount(std::u16string* domain, std::u16string* account) = 0;
    virtual HRESULT GetSourceId(std::u16string* sourceId) = 0;

protected:
    ~IAlarmEventSourceInfo() = default;
};

// The event source's own interface.
struct IAlarmSourceInternal : IDispatch {
    static const IID& InterfaceId() { return IID_IAlarmSourceInternal; }
    using BaseInterface = IDispatch;
    // Method 5.
    virtual HRESULT SetApplicationName(const char16_t* applicationName) = 0;
    // Method 6.
    virtual HRESULT SetIdentity(const char16_t* account, const char16_t* domain,
                                const char16_t* sourceId) = 0;

protected:
    ~IAlarmSourceInternal() = default;
};

// The event fields as the sender sends them.
struct AlarmEventFields {
    std::u16string kind; // "General" or "ChangeValue"
    std::u16string area;
    std::u16string message;
    DATE time = 0;
    LONG eventType = 0;
    LONG severity = 0;
    std::u16string oldValue; // change-value events
    std::u16string newValue;
};

// The interface every event offers to the sender.
struct IAlarmCommonEvent : IUnknown {
    static const IID& InterfaceId() { return IID_IAlarmCommonEvent; }
    using BaseInterface = IUnknown;
    virtual HRESULT GetFields(AlarmEventFields* fields) = 0;
    // The attached source; null when none was attached.
    virtual HRESULT GetSource(IAlarmEventSourceInfo** source) = 0;

protected:
    ~IAlarmCommonEvent() = default;
};

struct IAlarmGeneralEvent : IDispatch {
    static const IID& InterfaceId() { return IID_IAlarmGeneralEvent; }
    using BaseInterface = IDispatch;
    // Method 2.
    virtual HRESULT SetArea(const char16_t* area) = 0;
    // Method 4.
    virtual HRESULT SetSource(IAlarmEventSourceInfo* source) = 0;
    // Method 7.
    virtual HRESULT SetMessage(const char16_t* message) = 0;
    // Method 9: the time of the event, UTC.
    virtual HRESULT SetTime(DATE time) = 0;
    // Method 16.
    virtual HRESULT SetEventType(LONG type) = 0;
    // Method 17: clears the properties; called before they are set.
    virtual HRESULT Initialize() = 0;
    // Method 20.
    virtual HRESULT SetSeverity(LONG severity) = 0;

protected:
    ~IAlarmGeneralEvent() = default;
};

struct IAlarmChangeValueEvent : IAlarmGeneralEvent {
    static const IID& InterfaceId() { return IID_IAlarmChangeValueEvent; }
    using BaseInterface = IAlarmGeneralEvent;
    virtual HRESULT SetValues(const char16_t* oldValue, const char16_t* newValue) = 0;

protected:
    ~IAlarmChangeValueEvent() = default;
};

struct IAlarmSender : IDispatch {
    static const IID& InterfaceId() { return IID_IAlarmSender; }
    using BaseInterface = IDispatch;
    // Method 1.
    virtual HRESULT Send(IAlarmCommonEvent* event) = 0;

protected:
    ~IAlarmSender() = default;
};
