#pragma once

#include <string>
#include <string_view>

namespace lvx {

// How the bytes of a text stand for characters: device texts are Latin-1 bytes, the texts
// of a backup manifest UTF-8.
enum class TextBytes { Latin1, Utf8 };

// A text that came from outside (a device's or the network's texts, a firmware header's
// fields) as it may be printed on a terminal: every control character (U+0000-U+001F,
// U+007F and the C1 range U+0080-U+009F) becomes "\xHH" with its code, so no escape sequence
// a device sends reaches the terminal. Everything else stays as it is. With
// `keepLineBreaks`, "\n", "\r" and "\t" stay too (a trace of lines).
std::string EscapeControls(std::string_view text, TextBytes bytes = TextBytes::Latin1,
                           bool keepLineBreaks = false);

} // namespace lvx
