#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lvx {

// A parsed JSON text: what a backup's manifest needs to be read back, without Qt.
struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;                           // Array
    std::vector<std::pair<std::string, JsonValue>> members; // Object, in the text's order

    bool isObject() const { return type == Type::Object; }
    bool isArray() const { return type == Type::Array; }
    bool isString() const { return type == Type::String; }
    bool isNumber() const { return type == Type::Number; }
    // The first member with this key, or null.
    const JsonValue* find(std::string_view key) const;
};

// Nesting deeper than this is refused rather than followed.
constexpr int kJsonMaxDepth = 32;

// Parses a whole JSON text (RFC 8259; surrounding white space allowed, nothing else after
// the value). False with a short reason and its byte offset in `error` for anything else.
bool ParseJson(std::string_view text, JsonValue& out, std::string& error);

// Appends `text` as a JSON string: quoted, with '"', '\\' and control characters escaped.
// Bytes from 0x80 up are copied as they are (the caller gives UTF-8).
void AppendJsonString(std::string& out, std::string_view text);

} // namespace lvx
