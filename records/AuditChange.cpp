#include "records/AuditChange.h"

#include "common/KvtXml.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <memory>
#include <utility>

namespace zyr::records {

namespace {

constexpr std::string_view kArrow = " \xE2\x86\x92 "; // U+2192
constexpr std::string_view kNone = "(none)";

// A value document: each element's name with the texts of its Value children.
using Document = std::vector<std::pair<std::string, std::vector<std::string>>>;

bool ReadDocument(std::string_view text, Document& out)
{
    if (text.empty() || text.front() != '<') {
        return false;
    }
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    zyr::xml::KvtXmlElement root;
    zyr::xml::KvtXmlElementCollection fields;
    LONG count = 0;
    if (FAILED(zyr::xml::CreateKvtXmlDocument(document)) || !document ||
        FAILED(document->put_XmlString(text)) || FAILED(document->get_documentElement(root)) ||
        FAILED(root.get_children(fields)) || FAILED(fields.get_length(&count))) {
        return false;
    }
    for (LONG i = 0; i < count; ++i) {
        zyr::xml::KvtXmlElement field;
        zyr::xml::KvtXmlElementCollection values;
        LONG valueCount = 0;
        std::string name;
        if (FAILED(fields.item(i, field)) || FAILED(field.get_tagName(name)) ||
            FAILED(field.get_children(values)) || FAILED(values.get_length(&valueCount))) {
            return false;
        }
        std::vector<std::string> texts;
        for (LONG v = 0; v < valueCount; ++v) {
            zyr::xml::KvtXmlElement value;
            std::string valueText;
            if (FAILED(values.item(v, value)) || FAILED(document->GetElementText(value, valueText))) {
                return false;
            }
            texts.push_back(std::move(valueText));
        }
        out.emplace_back(std::move(name), std::move(texts));
    }
    return true;
}

// A plain access-control list, "role:mask;" items.
bool ReadAccessList(std::string_view text, Document& out)
{
    std::vector<std::string> entries;
    while (!text.empty()) {
        size_t end = text.find(';');
        if (end == std::string_view::npos) {
            return false;
        }
        std::string_view item = text.substr(0, end);
        size_t colon = item.rfind(':');
        long mask = 0;
        if (colon == std::string_view::npos || colon == 0 ||
            std::from_chars(item.data() + colon + 1, item.data() + item.size(), mask).ptr !=
                item.data() + item.size() ||
            colon + 1 == item.size()) {
            return false;
        }
        entries.emplace_back(item);
        text.remove_prefix(end + 1);
    }
    out.emplace_back("ACE", std::move(entries));
    return true;
}

const std::vector<std::string>* Find(const Document& document, std::string_view name)
{
    for (const auto& [field, values] : document) {
        if (field == name) {
            return &values;
        }
    }
    return nullptr;
}

std::string Joined(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items) {
        out += out.empty() ? "" : ", ";
        out += item;
    }
    return out;
}

ValueRow SetRow(std::string field, std::vector<std::string> removed, std::vector<std::string> added)
{
    ValueRow row;
    row.kind = ValueRow::Kind::Set;
    row.field = std::move(field);
    row.before = Joined(removed);
    row.after = Joined(added);
    row.removed = std::move(removed);
    row.added = std::move(added);
    return row;
}

// Entries "key:rest" of both sides paired by key: one Entry row per key whose
// rest changed, named prefix and the key; where the key is only on one side
// the other shows "(none)", or, with unpaired set, both sides go into one Set row.
void PairedRows(const std::string& prefix, const std::vector<std::string>& before,
                const std::vector<std::string>& after, const char* unpaired, std::vector<ValueRow>& rows)
{
    auto split = [](const std::string& entry) {
        size_t colon = entry.rfind(':');
        return colon == std::string::npos ? std::pair{entry, std::string()}
                                          : std::pair{entry.substr(0, colon), entry.substr(colon + 1)};
    };
    std::vector<std::pair<std::string, std::string>> oldEntries, newEntries;
    std::transform(before.begin(), before.end(), std::back_inserter(oldEntries), split);
    std::transform(after.begin(), after.end(), std::back_inserter(newEntries), split);
    std::vector<std::string> removed, added;
    auto row = [&](const std::string& key, const std::string* was, const std::string* is) {
        if (unpaired != nullptr && (was == nullptr || is == nullptr)) {
            std::string item = key + " (" + (was ? *was : *is) + ")";
            (was ? removed : added).push_back(std::move(item));
            return;
        }
        ValueRow entry;
        entry.kind = ValueRow::Kind::Entry;
        entry.field = prefix + key;
        entry.before = was == nullptr ? std::string(kNone) : was->empty() ? std::string(kNone) : *was;
        entry.after = is == nullptr ? std::string(kNone) : is->empty() ? std::string(kNone) : *is;
        if (entry.Differs()) {
            rows.push_back(std::move(entry));
        }
    };
    auto findIn = [](const auto& entries, const std::string& key) -> const std::string* {
        for (const auto& [k, v] : entries) {
            if (k == key) {
                return &v;
            }
        }
        return nullptr;
    };
    for (const auto& [key, value] : oldEntries) {
        row(key, &value, findIn(newEntries, key));
    }
    for (const auto& [key, value] : newEntries) {
        if (findIn(oldEntries, key) == nullptr) {
            row(key, nullptr, &value);
        }
    }
    if (!removed.empty() || !added.empty()) {
        rows.push_back(SetRow(unpaired, std::move(removed), std::move(added)));
    }
}

std::vector<std::string> Missing(const std::vector<std::string>& items, const std::vector<std::string>& in)
{
    std::vector<std::string> out;
    for (const std::string& item : items) {
        if (std::find(in.begin(), in.end(), item) == in.end()) {
            out.push_back(item);
        }
    }
    return out;
}

std::vector<ValueRow> DocumentRows(const Document& before, const Document& after)
{
    static const std::vector<std::string> kEmpty;
    std::vector<std::string> names;
    for (const Document* side : {&before, &after}) {
        for (const auto& field : *side) {
            if (std::find(names.begin(), names.end(), field.first) == names.end()) {
                names.push_back(field.first);
            }
        }
    }
    std::vector<ValueRow> rows;
    std::vector<std::string> membersOut, membersIn;
    for (const std::string& name : names) {
        const std::vector<std::string>* was = Find(before, name);
        const std::vector<std::string>* is = Find(after, name);
        const std::vector<std::string>& oldValues = was ? *was : kEmpty;
        const std::vector<std::string>& newValues = is ? *is : kEmpty;
        if (name == "ACE") {
            PairedRows("ACE ", oldValues, newValues, nullptr, rows);
        } else if (name == "PermNamesList") {
            PairedRows("Permission ", oldValues, newValues, "Permissions", rows);
        } else if (name == "MemberUsers" || name == "MemberGroups") {
            membersOut.insert(membersOut.end(), oldValues.begin(), oldValues.end());
            membersIn.insert(membersIn.end(), newValues.begin(), newValues.end());
        } else if (oldValues.size() <= 1 && newValues.size() <= 1) {
            ValueRow row;
            row.field = name;
            row.before = oldValues.empty() ? std::string() : oldValues[0];
            row.after = newValues.empty() ? std::string() : newValues[0];
            if (row.Differs()) {
                rows.push_back(std::move(row));
            }
        } else if (auto out = Missing(oldValues, newValues), in = Missing(newValues, oldValues);
                   !out.empty() || !in.empty()) {
            rows.push_back(SetRow(name, std::move(out), std::move(in)));
        }
    }
    if (!membersOut.empty() || !membersIn.empty()) {
        rows.push_back(SetRow("Members", std::move(membersOut), std::move(membersIn)));
    }
    return rows;
}

} // namespace

std::vector<ValueRow> CompareAuditValues(std::string_view oldValue, std::string_view newValue)
{
    Document before, after;
    if (ReadDocument(oldValue, before) && ReadDocument(newValue, after)) {
        return DocumentRows(before, after);
    }
    before.clear();
    after.clear();
    if ((!oldValue.empty() || !newValue.empty()) && ReadAccessList(oldValue, before) &&
        ReadAccessList(newValue, after)) {
        return DocumentRows(before, after);
    }
    if (oldValue.empty() && newValue.empty()) {
        return {};
    }
    // An event's message, or values that are no document.
    ValueRow row;
    row.kind = oldValue.empty() ? ValueRow::Kind::Message : ValueRow::Kind::Text;
    row.field = oldValue.empty() ? "Message" : "Value";
    row.before = oldValue;
    row.after = newValue;
    return {row};
}

std::string ChangeSummary(std::string_view oldValue, std::string_view newValue)
{
    std::string line;
    for (const ValueRow& row : CompareAuditValues(oldValue, newValue)) {
        line += line.empty() ? "" : "; ";
        switch (row.kind) {
        case ValueRow::Kind::Text:
            line += row.field + ": '" + row.before + "'" + std::string(kArrow) + "'" + row.after + "'";
            break;
        case ValueRow::Kind::Entry:
            line += row.field + ": " + row.before + std::string(kArrow) + row.after;
            break;
        case ValueRow::Kind::Set: {
            line += row.field + ":";
            const char* sep = " ";
            for (const std::string& item : row.added) {
                line += sep + std::string("+ ") + item;
                sep = ", ";
            }
            for (const std::string& item : row.removed) {
                line += sep + std::string("- ") + item;
                sep = ", ";
            }
            break;
        }
        case ValueRow::Kind::Message:
            line += row.after;
            break;
        }
    }
    // One line: breaks in a message or a description become spaces.
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
    return line;
}

} // namespace zyr::records
