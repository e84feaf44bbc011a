#include "records/Log.h"

#include "common/KvtXml.h"
#include "common/QueryEscape.h"
#include "common/RequestFrame.h"
#include "common/ServerSettings.h"
#include "platform/text/Ascii.h"
#include "web/WebPage.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <langinfo.h>
#include <locale.h>

using zyr::records::SetField;

namespace zyr::records {

namespace {

bool Digits(std::string_view text, size_t at, size_t count, int& value)
{
    if (at + count > text.size()) {
        return false;
    }
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool Valid(const std::tm& t)
{
    return t.tm_mon >= 0 && t.tm_mon < 12 && t.tm_mday >= 1 && t.tm_mday <= 31 && t.tm_hour >= 0 &&
           t.tm_hour < 24 && t.tm_min >= 0 && t.tm_min < 60 && t.tm_sec >= 0 && t.tm_sec <= 60 &&
           t.tm_year > -1900;
}

// "YYYY-MM-DD", then " " or "T", then "HH:MM:SS"; after that only a fraction
// and a zone ("Z", "+hh:mm").
bool ParseIsoLike(std::string_view text, std::tm& t)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !Digits(text, 5, 2, month) ||
        text[7] != '-' || !Digits(text, 8, 2, day) || (text[10] != ' ' && text[10] != 'T') ||
        !Digits(text, 11, 2, hour) || text[13] != ':' || !Digits(text, 14, 2, minute) || text[16] != ':' ||
        !Digits(text, 17, 2, second)) {
        return false;
    }
    std::string_view rest = text.substr(19);
    if (!rest.empty() && rest.front() == '.') {
        size_t end = rest.find_first_not_of("0123456789", 1);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    if (!rest.empty() && rest != "Z") {
        int zh = 0, zm = 0;
        bool zone = (rest.front() == '+' || rest.front() == '-') && Digits(rest, 1, 2, zh) &&
                    (rest.size() == 3 || (rest.size() == 6 && rest[3] == ':' && Digits(rest, 4, 2, zm)) ||
                     (rest.size() == 5 && Digits(rest, 3, 2, zm)));
        if (!zone) {
            return false;
        }
    }
    t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return Valid(t);
}

bool ParseWithFormat(const std::string& text, const char* format, std::tm& t)
{
    std::tm parsed{};
    parsed.tm_mday = 1;
    const char* end = strptime(text.c_str(), format, &parsed);
    if (end == nullptr) {
        return false;
    }
    while (*end == ' ') {
        ++end;
    }
    if (*end != '\0' || !Valid(parsed)) {
        return false;
    }
    t = parsed;
    return true;
}

// The date and time forms of the user's locale (LC_TIME from the environment).
bool ParseLocaleForm(std::string_view text, std::tm& t)
{
    locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) {
        user = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    }
    if (user == static_cast<locale_t>(nullptr)) {
        return false;
    }
    locale_t previous = uselocale(user);
    const std::string copy(text);
    bool ok = ParseWithFormat(copy, "%x %X", t) || ParseWithFormat(copy, "%c", t) ||
              ParseWithFormat(copy, "%x %H:%M:%S", t) || ParseWithFormat(copy, "%x %I:%M:%S %p", t) ||
              ParseWithFormat(copy, "%m/%d/%Y %H:%M:%S", t) ||
              ParseWithFormat(copy, "%m/%d/%Y %I:%M:%S %p", t);
    uselocale(previous);
    freelocale(user);
    return ok;
}

} // namespace

bool ParseLogTime(std::string_view text, std::tm& time)
{
    text = zyr::text::TrimSpaces(text);
    if (text.empty()) {
        return false;
    }
    return ParseIsoLike(text, time) || ParseLocaleForm(text, time);
}

std::string FormatLogDeleteTime(const std::tm& t)
{
    char text[96];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%d:%d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

} // namespace zyr::records

// ---------------------------------------------------------------------------

CKVTLog::CKVTLog() : serverUrl_(zyr::records::ServerUrl::FromConfiguration()) {}

bool CKVTLog::IsFailed() const
{
    return zyr::text::EqualsNoCase(Status.view(), "Failed");
}

bool CKVTLog::Delete()
{
    std::tm time{};
    if (!zyr::records::ParseLogTime(DateTime.view(), time)) {
        return false; // no date the server could match
    }
    zyr::RequestUrl url(serverUrl_.view(), "Log", "Del");
    // The space between date and time cannot travel bare in a request line:
    // the date goes out escaped, which the server decodes to the same text.
    url.Escaped("Date", zyr::records::FormatLogDeleteTime(time));
    if (!User.empty()) {
        url.Escaped("User", User.view());
    }
    url.Plain("Computer", GetLocalComputerName());
    std::string reply;
    return GetWebPage(url.str(), reply, true);
}

// ---------------------------------------------------------------------------

CKVTLogList::CKVTLogList() : serverUrl_(zyr::records::ServerUrl::FromConfiguration()) {}

bool CKVTLogList::Remove(const CKVTLog* entry)
{
    return zyr::records::RemoveRecord(entries_, entry);
}

HRESULT CKVTLogList::GetLogs(std::string_view, std::optional<std::string_view> from, std::string_view to)
{
    entries_.clear();
    zyr::RequestUrl url(serverUrl_.view(), "Log", "Get");
    if (from) {
        url.Plain("FromDate", *from).Plain("ToDate", to);
    }
    url.Number("DisplaySet", DisplaySet);
    std::string reply;
    if (!GetWebPage(url.str(), reply, true)) {
        return E_FAIL;
    }
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    HRESULT hr = zyr::xml::CreateKvtXmlDocument(document);
    if (FAILED(hr) || !document) {
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = document->put_XmlString(std::move(reply));
    if (FAILED(hr)) {
        return hr;
    }
    return LoadLogs(*document);
}

HRESULT CKVTLogList::LoadLogs(const zyr::xml::KvtXmlDocument& document)
{
    zyr::xml::KvtXmlElement logs;
    zyr::xml::KvtXmlElementCollection children;
    LONG count = 0;
    HRESULT hr = document.FindElement(nullptr, "KVTLOGS", logs);
    if (SUCCEEDED(hr)) {
        hr = logs.get_children(children);
    }
    if (SUCCEEDED(hr)) {
        hr = children.get_length(&count);
    }
    std::string texts[4];
    for (LONG i = 0; SUCCEEDED(hr) && i + 1 < count; ++i) {
        zyr::xml::KvtXmlElement element;
        zyr::xml::KvtXmlElementCollection fields;
        LONG fieldCount = 0;
        hr = children.item(i, element);
        if (SUCCEEDED(hr)) {
            hr = element.get_children(fields);
        }
        if (SUCCEEDED(hr)) {
            hr = fields.get_length(&fieldCount);
        }
        if (FAILED(hr) || fieldCount != 4) {
            continue;
        }
        for (LONG f = 0; SUCCEEDED(hr) && f < 4; ++f) {
            zyr::xml::KvtXmlElement field;
            texts[f].clear();
            hr = fields.item(f, field);
            if (SUCCEEDED(hr)) {
                hr = document.GetElementText(field, texts[f]);
            }
        }
        if (FAILED(hr)) {
            break;
        }
        auto entry = std::make_shared<CKVTLog>();
        SetField(entry->DateTime, texts[0], "DateTime");
        SetField(entry->User, texts[1], "User");
        SetField(entry->Action, texts[2], "Action");
        SetField(entry->Status, texts[3], "Status");
        entries_.push_back(std::move(entry));
    }
    if (FAILED(hr)) {
        entries_.clear();
    }
    return hr;
}

HRESULT CKVTLogList::DeleteLogs(std::string_view user, std::optional<std::string_view> from,
                                std::string_view to)
{
    entries_.clear();
    zyr::RequestUrl url(serverUrl_.view(), "Log", "Del");
    if (from) {
        url.Plain("FromDate", *from).Plain("ToDate", to);
    }
    if (!user.empty()) {
        url.Escaped("User", user);
    }
    std::string reply;
    return GetWebPage(url.str(), reply, true) ? S_OK : E_FAIL;
}
