#include "server/http/FaultPlan.h"

#include <charconv>

namespace zyr::server {

namespace {

std::string Field(const FormFields& fields, const char* key)
{
    return std::string(fields.Get(key));
}

bool Int(const FormFields& fields, const char* key, int& value, int low, int high)
{
    std::string text = Field(fields, key);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

// Sets target from the number in the field, or refuses with the reason.
bool SetInt(const FormFields& fields, const char* key, int low, int high, const char* refusal, int& target,
            std::string& reason)
{
    int value = 0;
    if (!Int(fields, key, value, low, high)) {
        reason = refusal;
        return false;
    }
    target = value;
    return true;
}

bool HasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos || text.find('\0') != std::string_view::npos;
}

} // namespace

std::string FaultPlan::Key(std::string_view object, std::string_view operation)
{
    std::string key(object);
    key += '\n';
    key += operation;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

bool FaultPlan::Apply(std::string_view kind, const FormFields& fields, std::string& reason)
{
    std::lock_guard lock(mutex_);
    if (kind == "Clear") {
        entries_.clear();
        return true;
    }
    Entry& e = entries_[Key(Field(fields, "Object"), Field(fields, "Operation"))];
    int value = 0;
    if (kind == "EmptyReply" || kind == "Drop") {
        bool on = true;
        if (fields.Has("Value")) {
            if (!Int(fields, "Value", value, 0, 1)) {
                reason = "Value must be 0 or 1";
                return false;
            }
            on = value == 1;
        }
        (kind == "Drop" ? e.drop : e.emptyReply) = on;
        // Served=1: the request is carried out, and only its reply is lost.
        e.served = fields.Get("Served") == "1";
        return true;
    }
    if (kind == "ErrorReply") {
        return SetInt(fields, "Count", 0, 1000000, "Count must be a number", e.errorCount, reason);
    }
    if (kind == "Status") {
        if (!Int(fields, "Code", value, 0, 999) || (value != 0 && value < 100)) {
            reason = "Code must be an HTTP status (0 clears)";
            return false;
        }
        e.status = value;
        return true;
    }
    if (kind == "ZyrErrorHeader") {
        std::string text = Field(fields, "Text");
        if (HasLineBreak(text)) {
            reason = "Text must be one line";
            return false;
        }
        e.zyrErrorText = text;
        return true;
    }
    if (kind == "Redirect") {
        std::string location = Field(fields, "Location");
        if (!Int(fields, "Code", value, 301, 303) || location.empty() || HasLineBreak(location)) {
            reason = "Code must be 301, 302 or 303 and Location one line";
            return false;
        }
        int count = 1;
        if (fields.Has("Count") &&
            !SetInt(fields, "Count", 0, 1000000, "Count must be a number", count, reason)) {
            return false;
        }
        e.redirectCode = value;
        e.location = location;
        e.redirectCount = count;
        return true;
    }
    if (kind == "Delay") {
        return SetInt(fields, "Ms", 0, 600000, "Ms must be a number of milliseconds", e.delayMs, reason);
    }
    reason = "unknown fault kind";
    return false;
}

FaultAction FaultPlan::Take(std::string_view object, std::string_view operation)
{
    std::lock_guard lock(mutex_);
    FaultAction action;
    if (entries_.empty()) {
        return action;
    }
    auto it = entries_.find(Key(object, operation));
    if (it == entries_.end()) {
        return action;
    }
    Entry& e = it->second;
    action.delayMs = e.delayMs;
    action.drop = e.drop;
    action.status = e.status;
    action.emptyReply = e.emptyReply;
    action.served = e.served;
    action.zyrErrorText = e.zyrErrorText;
    if (e.redirectCount > 0) {
        --e.redirectCount;
        action.redirectCode = e.redirectCode;
        action.location = e.location;
    }
    if (e.errorCount > 0) {
        --e.errorCount;
        action.errorReply = true;
    }
    return action;
}

void FaultPlan::Clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

} // namespace zyr::server
