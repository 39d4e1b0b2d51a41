#pragma once

#include <string>
#include <string_view>

namespace lvx {

// Writes the text of several channels into one stream as it arrives. With one channel the
// bytes go out as they came. With several, every line starts with the channel's letter and
// ": " ("A: hello"), and a line left open by one channel is ended before another channel's
// text begins, so the lines of different channels never run into each other.
class ChannelPrinter {
public:
    explicit ChannelPrinter(bool prefixed) : prefixed_(prefixed) {}

    // The bytes to write for text that arrived on a channel (1 to 7).
    std::string print(int channel, std::string_view text);
    // The bytes that end the stream: a line feed when a prefixed line is open.
    std::string finish();

private:
    bool prefixed_;
    int lastChannel_ = 0;
    bool atLineStart_ = true;
};

} // namespace lvx
