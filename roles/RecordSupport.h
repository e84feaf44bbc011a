// What every security record shares: its fixed fields, the server URL it was
// made with, new identities, the encrypted lists it reads and writes, and
// names compared without regard to case.
#pragma once

#include "platform/text/BoundedText.h"
#include "platform/text/CodePage.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace zyr::records {

// A fixed field of N bytes with its terminator. Records are kept by the
// hundred thousand, so their fields take only what their text needs.
template <size_t N>
using Field = zyr::text::CompactBoundedText<N>;

// A fixed field of N bytes whose text many records share: the identities of
// the group and the application that every object of a group names. A copy
// shares the text, which is never changed in place.
template <size_t N>
class SharedField {
public:
    bool Assign(std::string_view text)
    {
        const size_t length = zyr::text::CharacterBoundary(text, capacity());
        text_ = length == 0 ? nullptr : std::make_shared<const std::string>(text.substr(0, length));
        return length == text.size();
    }
    SharedField& operator=(std::string_view text)
    {
        Assign(text);
        return *this;
    }
    const char* c_str() const { return text_ ? text_->c_str() : ""; }
    std::string_view view() const { return text_ ? std::string_view(*text_) : std::string_view(); }
    std::string str() const { return std::string(view()); }
    size_t size() const { return view().size(); }
    bool empty() const { return size() == 0; }
    static constexpr size_t capacity() { return N - 1; }

    friend bool operator==(const SharedField& a, std::string_view b) { return a.view() == b; }

private:
    std::shared_ptr<const std::string> text_;
};

// Writes the trace record of a text cut to fit its field.
void TraceCut(std::string_view field, std::string_view text, size_t capacity);

// Copies text into field; a text too long for it is cut on a character
// boundary and the cut traced.
template <typename F>
void SetField(F& field, std::string_view text, std::string_view fieldName)
{
    if (!field.Assign(text)) {
        TraceCut(fieldName, text, F::capacity());
    }
}

// The server URL as a record keeps it: the value in force when the record was
// made, shared with the records made under the same value.
class ServerUrl {
public:
    // Reads the configured URL; empty when none can be obtained.
    static ServerUrl FromConfiguration();

    bool empty() const { return !url_ || url_->empty(); }
    std::string_view view() const { return url_ ? std::string_view(*url_) : std::string_view(); }
    std::string str() const { return std::string(view()); }

private:
    std::shared_ptr<const std::string> url_;
};

// How a fetch of a list from the security server ended.
enum class FetchResult {
    Fetched,
    NoServer,      // no server URL is configured
    NoCacheFolder, // the client's cache folder is not configured
    NotRead,       // no usable reply: unreachable, HTTP error, "Error: ...", time-out
    NotAList,      // a reply that is not the list asked for (empty, cut, garbage)
};
// The administrator's text for a failed fetch; empty for Fetched.
std::string_view FetchFailureText(FetchResult result);

// The last change this thread sent, kept so that a client whose change got
// no answer (or an empty one) can read the record back and compare.
struct SentChange {
    enum class Kind { None, Role, Application, Group, Object };
    Kind kind = Kind::None;
    bool deleted = false; // a delete; else an add or update to state
    std::string dn;       // the record's identity
    std::string state;    // the record's StoredState as sent; empty: only that it is there
};
void NoteSentChange(SentChange change);
const SentChange& LastSentChange();
void ForgetSentChange();

// Sends a change that travels as a GET (an add or delete, most updates) and
// reports the server's answer as every change is reported: true when the
// server took it.
bool SendGetChange(const std::string& url);

// "{", a newly generated GUID, "}": 38 characters, upper or lower case.
std::string NewIdentity(bool upperCase);

// Decrypts the encrypted lists of one walk. An empty text gives an empty
// plain text; a text that does not decode gives an empty plain text and false.
// The plain text ends at its first zero byte, as the framework read it.
class ListDecryptor {
public:
    bool Decrypt(std::string_view encrypted);
    const std::string& Plain() const { return plain_; }

private:
    std::string plain_;
};

// Calls onItem for every non-empty piece of text between ";" separators.
template <typename OnItem>
void ForEachListItem(std::string_view text, OnItem&& onItem)
{
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(';', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > at) {
            onItem(text.substr(at, end - at));
        }
        at = end + 1;
    }
}

// Takes record out of records, a vector of the pointers that own their
// records (unique or shared); false when it is not there.
template <typename Owner, typename Record>
bool RemoveRecord(std::vector<Owner>& records, const Record* record)
{
    auto found =
        std::find_if(records.begin(), records.end(), [record](const auto& r) { return r.get() == record; });
    if (found == records.end()) {
        return false;
    }
    records.erase(found);
    return true;
}

// The encrypted text of a plain list; empty for an empty list or a failed
// encryption (the field then goes out empty).
std::string EncryptList(std::string_view plain);

// A set of names compared as EqualsNoCase compares them, in constant time.
class NameSet {
public:
    // False when an equal name was already present.
    bool Insert(std::string_view name) { return names_.insert(zyr::text::CaseFoldKey(name)).second; }
    bool Contains(std::string_view name) const { return names_.count(zyr::text::CaseFoldKey(name)) != 0; }
    void Clear() { names_.clear(); }
    size_t size() const { return names_.size(); }

private:
    std::unordered_set<std::u32string> names_;
};

} // namespace zyr::records
