#include "multicom/ChannelText.h"

namespace lvx {

std::string ChannelText::Display(char previous, std::string_view bytes) {
    std::string shown;
    shown.reserve(bytes.size());
    for (const char c : bytes) {
        if (c == '\r') {
            shown += '\n';
        } else if (c != '\n' || previous != '\r') {
            shown += c;
        }
        previous = c;
    }
    return shown;
}

std::size_t ChannelText::DisplayLength(char previous, std::string_view bytes) {
    std::size_t length = 0;
    for (const char c : bytes) {
        if (c != '\n' || previous != '\r') {
            ++length;
        }
        previous = c;
    }
    return length;
}

MemoChange ChannelText::append(std::string_view bytes) {
    MemoChange change;
    if (bytes.empty()) {
        return change;
    }
    const std::size_t oldSize = size();
    const char last = oldSize > 0 ? buffer_.back() : beforeHead_;
    buffer_.append(bytes.data(), bytes.size());
    if (size() <= cap_) {
        change.append = Display(last, bytes);
        return change;
    }

    const std::size_t excess = size() - cap_;
    change.insertNote = !dropped_;
    dropped_ = true;
    if (excess >= oldSize) {
        // Everything the memo showed goes: it starts over with the newest bytes.
        head_ += excess;
        beforeHead_ = buffer_[head_ - 1];
        change.reset = true;
        change.insertNote = true;
        change.append = Display(beforeHead_, bytes.substr(bytes.size() - cap_));
    } else {
        change.removeChars =
            DisplayLength(beforeHead_, std::string_view(buffer_).substr(head_, excess));
        head_ += excess;
        beforeHead_ = buffer_[head_ - 1];
        change.append = Display(last, bytes);
    }
    if (head_ > cap_) {
        buffer_.erase(0, head_);
        head_ = 0;
    }
    return change;
}

MemoChange ChannelText::clear() {
    buffer_.clear();
    buffer_.shrink_to_fit();
    head_ = 0;
    beforeHead_ = 0;
    dropped_ = false;
    MemoChange change;
    change.reset = true;
    return change;
}

std::string ChannelText::memoText() const {
    std::string text = dropped_ ? std::string(kDroppedNote) : std::string();
    text += Display(beforeHead_, bytes());
    return text;
}

} // namespace lvx
