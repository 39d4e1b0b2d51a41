#include "edid/JsonText.h"

#include <charconv>
#include <cstdint>

namespace lvx {

const JsonValue* JsonValue::find(std::string_view key) const {
    for (const auto& member : members) {
        if (member.first == key) {
            return &member.second;
        }
    }
    return nullptr;
}

namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool parseDocument(JsonValue& out, std::string& error) {
        skipSpace();
        if (!parseValue(out, 0)) {
            error = error_ + " at byte " + std::to_string(at_);
            return false;
        }
        skipSpace();
        if (at_ != text_.size()) {
            error = "text after the value at byte " + std::to_string(at_);
            return false;
        }
        return true;
    }

private:
    bool fail(const char* reason) {
        error_ = reason;
        return false;
    }

    void skipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }

    bool literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) {
            return fail("unknown word");
        }
        at_ += word.size();
        return true;
    }

    bool parseValue(JsonValue& out, int depth) {
        if (at_ >= text_.size()) {
            return fail("unexpected end");
        }
        switch (text_[at_]) {
        case '{':
            return parseObject(out, depth + 1);
        case '[':
            return parseArray(out, depth + 1);
        case '"':
            out.type = JsonValue::Type::String;
            return parseString(out.text);
        case 't':
            out.type = JsonValue::Type::Bool;
            out.boolean = true;
            return literal("true");
        case 'f':
            out.type = JsonValue::Type::Bool;
            out.boolean = false;
            return literal("false");
        case 'n':
            out.type = JsonValue::Type::Null;
            return literal("null");
        default:
            return parseNumber(out);
        }
    }

    bool parseObject(JsonValue& out, int depth) {
        if (depth > kJsonMaxDepth) {
            return fail("nested too deeply");
        }
        out.type = JsonValue::Type::Object;
        ++at_; // '{'
        skipSpace();
        if (at_ < text_.size() && text_[at_] == '}') {
            ++at_;
            return true;
        }
        for (;;) {
            skipSpace();
            if (at_ >= text_.size() || text_[at_] != '"') {
                return fail("expected a key");
            }
            std::string key;
            if (!parseString(key)) {
                return false;
            }
            skipSpace();
            if (at_ >= text_.size() || text_[at_] != ':') {
                return fail("expected ':'");
            }
            ++at_;
            skipSpace();
            JsonValue value;
            if (!parseValue(value, depth)) {
                return false;
            }
            out.members.emplace_back(std::move(key), std::move(value));
            skipSpace();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == '}') {
                ++at_;
                return true;
            }
            return fail("expected ',' or '}'");
        }
    }

    bool parseArray(JsonValue& out, int depth) {
        if (depth > kJsonMaxDepth) {
            return fail("nested too deeply");
        }
        out.type = JsonValue::Type::Array;
        ++at_; // '['
        skipSpace();
        if (at_ < text_.size() && text_[at_] == ']') {
            ++at_;
            return true;
        }
        for (;;) {
            skipSpace();
            JsonValue value;
            if (!parseValue(value, depth)) {
                return false;
            }
            out.items.push_back(std::move(value));
            skipSpace();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == ']') {
                ++at_;
                return true;
            }
            return fail("expected ',' or ']'");
        }
    }

    bool hex4(std::uint32_t& value) {
        if (text_.size() - at_ < 4) {
            return fail("short \\u escape");
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return fail("bad \\u escape");
            }
        }
        return true;
    }

    static void appendUtf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    bool parseString(std::string& out) {
        ++at_; // '"'
        out.clear();
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return fail("control character in a string");
            }
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (at_ >= text_.size()) {
                break;
            }
            const char e = text_[at_++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out.push_back(e);
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                std::uint32_t code = 0;
                if (!hex4(code)) {
                    return false;
                }
                if (code >= 0xD800 && code <= 0xDBFF) {
                    std::uint32_t low = 0;
                    if (text_.substr(at_, 2) != "\\u") {
                        return fail("lone surrogate");
                    }
                    at_ += 2;
                    if (!hex4(low)) {
                        return false;
                    }
                    if (low < 0xDC00 || low > 0xDFFF) {
                        return fail("lone surrogate");
                    }
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code <= 0xDFFF) {
                    return fail("lone surrogate");
                }
                appendUtf8(out, code);
                break;
            }
            default:
                return fail("unknown escape");
            }
        }
        return fail("unterminated string");
    }

    bool parseNumber(JsonValue& out) {
        // The JSON grammar first, then the conversion of exactly that text.
        const std::size_t start = at_;
        std::size_t p = at_;
        auto digit = [&](std::size_t i) {
            return i < text_.size() && text_[i] >= '0' && text_[i] <= '9';
        };
        if (p < text_.size() && text_[p] == '-') {
            ++p;
        }
        if (!digit(p)) {
            return fail("unexpected character");
        }
        if (text_[p] == '0') {
            ++p;
        } else {
            while (digit(p)) {
                ++p;
            }
        }
        if (p < text_.size() && text_[p] == '.') {
            ++p;
            if (!digit(p)) {
                return fail("bad number");
            }
            while (digit(p)) {
                ++p;
            }
        }
        if (p < text_.size() && (text_[p] == 'e' || text_[p] == 'E')) {
            ++p;
            if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) {
                ++p;
            }
            if (!digit(p)) {
                return fail("bad number");
            }
            while (digit(p)) {
                ++p;
            }
        }
        double value = 0;
        const auto result = std::from_chars(text_.data() + start, text_.data() + p, value);
        if (result.ec != std::errc() || result.ptr != text_.data() + p) {
            return fail("number out of range");
        }
        out.type = JsonValue::Type::Number;
        out.number = value;
        at_ = p;
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::string error_;
};

} // namespace

bool ParseJson(std::string_view text, JsonValue& out, std::string& error) {
    out = JsonValue{};
    Parser parser(text);
    return parser.parseDocument(out, error);
}

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n') {
            out.append("\\n");
        } else if (c == '\r') {
            out.append("\\r");
        } else if (c == '\t') {
            out.append("\\t");
        } else if (byte < 0x20 || byte == 0x7F) {
            out.append("\\u00");
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

} // namespace lvx
