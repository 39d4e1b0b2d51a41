#include "multicom/ChannelPrinter.h"

#include "multicom/ChannelAnswers.h"

namespace lvx {

std::string ChannelPrinter::print(int channel, std::string_view text) {
    if (!prefixed_) {
        return std::string(text);
    }
    std::string out;
    if (text.empty()) {
        return out;
    }
    if (channel != lastChannel_ && !atLineStart_) {
        out += '\n';
        atLineStart_ = true;
    }
    lastChannel_ = channel;
    for (const char c : text) {
        if (atLineStart_) {
            out += ChannelLetter(channel);
            out += ": ";
        }
        out += c;
        atLineStart_ = c == '\n';
    }
    return out;
}

std::string ChannelPrinter::finish() {
    if (prefixed_ && !atLineStart_) {
        atLineStart_ = true;
        return "\n";
    }
    return {};
}

} // namespace lvx
