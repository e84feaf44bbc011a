#include "common/ErrorTrace.h"

#include "common/ServerSettings.h"
#include "platform/log/LogSink.h"
#include "platform/text/BoundedText.h"
#include "platform/text/CodePage.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr const char* kEventFormat = "%s, Error: %ld, Result: %s, Source: %s";

// A text of the trace in the code page, into a field of 260 bytes. False when
// it does not fit: such a record leaves no event.
bool ToEventField(const std::u16string& wide, std::string& out)
{
    out = zyr::text::Narrow(wide);
    return out.size() <= 259;
}

// Formats into a growable buffer; the callers cut the result to their field.
std::string FormatText(const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<size_t>(needed));
}

// The formatted text, cut to fit Size (terminator included), handed to sink;
// nothing escapes, a failure only loses the line.
template <size_t Size>
void WriteBounded(const char* format, va_list args, void (*sink)(std::string_view)) noexcept
{
    try {
        auto text = std::make_unique<zyr::text::BoundedText<Size>>(FormatText(format, args));
        sink(text->view());
    } catch (...) {
    }
}

} // namespace

HRESULT TraceError(const std::u16string& sourceFile, LONG line, const std::u16string& functionPath,
                   const std::u16string& operation, const std::u16string& description, HRESULT hr,
                   const std::u16string& message)
{
    if (hr == S_OK) {
        return S_OK;
    }
    try {
        std::string digits = std::to_string(line);
        std::u16string source = sourceFile + u"(" + std::u16string(digits.begin(), digits.end()) + u"):" +
                                functionPath + u"." + operation;
        std::string descriptionText;
        std::string messageText;
        std::string sourceText;
        if (ToEventField(description, descriptionText) && ToEventField(message, messageText) &&
            ToEventField(source, sourceText)) {
            WriteEventLog(kEventFormat, descriptionText.c_str(), static_cast<long>(hr), messageText.c_str(),
                          sourceText.c_str());
        }
    } catch (...) {
        // The trace never fails its caller.
    }
    return hr;
}

HRESULT TraceError(std::string_view sourceFile, LONG line, std::string_view functionPath,
                   std::string_view operation, std::string_view description, HRESULT hr,
                   std::string_view message)
{
    if (hr == S_OK) {
        return S_OK;
    }
    try {
        using zyr::text::Widen;
        return TraceError(Widen(sourceFile), line, Widen(functionPath), Widen(operation), Widen(description),
                          hr, Widen(message));
    } catch (...) {
        return hr;
    }
}

void WriteEventLog(const char* format, ...)
{
    if (!zyr::EventLoggingOn() || format == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    WriteBounded<260>(format, args, zyr::log::ReportEvent);
    va_end(args);
}

void DebugPrint(const char* format, ...)
{
    if (format == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    // At most 10235 characters; the line end is the sink's business.
    WriteBounded<10236>(format, args, zyr::log::WriteDebugLine);
    va_end(args);
}
