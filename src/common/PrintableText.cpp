#include "common/PrintableText.h"

namespace lvx {

namespace {

void AppendEscaped(std::string& out, unsigned code) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[(code >> 4) & 0x0F];
    out += kDigits[code & 0x0F];
}

} // namespace

std::string EscapeControls(std::string_view text, TextBytes bytes, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            if (keepLineBreaks && (c == '\n' || c == '\r' || c == '\t')) {
                out += c;
            } else {
                AppendEscaped(out, byte);
            }
        } else if (bytes == TextBytes::Latin1 && byte >= 0x80 && byte <= 0x9F) {
            AppendEscaped(out, byte);
        } else if (bytes == TextBytes::Utf8 && byte == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080-U+009F in UTF-8: C2 80 to C2 9F.
            AppendEscaped(out, static_cast<unsigned char>(text[++i]));
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace lvx
