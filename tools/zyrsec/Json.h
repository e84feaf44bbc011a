// A JSON value for the tool's --json output: null, truth values, integers,
// texts, arrays and objects (keys kept in insertion order), and its text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zyr::zyrsec {

class Json {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Json() = default;
    Json(bool value) : kind_(Kind::Bool), bool_(value) {}
    Json(int value) : kind_(Kind::Number), number_(value) {}
    Json(long value) : kind_(Kind::Number), number_(value) {}
    Json(long long value) : kind_(Kind::Number), number_(value) {}
    Json(unsigned value) : kind_(Kind::Number), number_(value) {}
    Json(unsigned long value) : kind_(Kind::Number), number_(static_cast<long long>(value)) {}
    Json(const char* value) : kind_(Kind::String), string_(value) {}
    Json(std::string value) : kind_(Kind::String), string_(std::move(value)) {}
    Json(std::string_view value) : kind_(Kind::String), string_(value) {}

    static Json Array() { return Json(Kind::Array); }
    static Json Object() { return Json(Kind::Object); }

    Kind kind() const { return kind_; }

    // Arrays: appends. Objects: sets a key (an existing key keeps its place).
    Json& Push(Json value);
    Json& Set(std::string_view key, Json value);
    // The member of that key, or null.
    const Json* Find(std::string_view key) const;
    size_t size() const { return kind_ == Kind::Array ? items_.size() : members_.size(); }

    // Compact text on one line; texts are escaped so that any byte sequence
    // gives valid JSON: control characters as \u00XX, bytes that are not
    // valid UTF-8 as U+FFFD.
    std::string Dump() const;

private:
    explicit Json(Kind kind) : kind_(kind) {}
    void Write(std::string& out) const;

    Kind kind_ = Kind::Null;
    bool bool_ = false;
    long long number_ = 0;
    std::string string_;
    std::vector<Json> items_;
    std::vector<std::pair<std::string, Json>> members_;
};

// The JSON string literal of text, quotes included.
std::string JsonQuote(std::string_view text);

} // namespace zyr::zyrsec
