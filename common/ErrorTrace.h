// The diagnostic trace: error records to the event log (syslog, ident
// "ZyrSecurity") when event logging is on, and lines to the debug sink.
#pragma once

#include "platform/com/WinTypes.h"

#include <string>
#include <string_view>

// Returns hr. A record with S_OK is dropped. Never fails its caller.
HRESULT TraceError(const std::u16string& sourceFile, LONG line, const std::u16string& functionPath,
                   const std::u16string& operation, const std::u16string& description, HRESULT hr,
                   const std::u16string& message);
// The same record from texts in the configured code page (a URL, a reply).
HRESULT TraceError(std::string_view sourceFile, LONG line, std::string_view functionPath,
                   std::string_view operation, std::string_view description, HRESULT hr,
                   std::string_view message);
// Writes one event when event logging is on (at most 259 characters).
void WriteEventLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes one line to the debug sink.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
