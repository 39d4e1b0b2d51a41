#include "multicom/ChannelText.h"

namespace lvx {

std::size_t ChannelText::Display(DisplayState& state, std::string_view bytes, std::string* shown) {
    std::size_t length = 0;
    auto put = [&](char c) {
        ++length;
        if (shown != nullptr) {
            *shown += c;
        }
    };
    for (const char c : bytes) {
        if (c == '\r' || (c == '\n' && state.previous != '\r')) {
            put('\n');
            state.column = 0;
        } else if (c != '\n') {
            if (state.column == kMemoLineMax) {
                put('\n');
                state.column = 0;
            }
            put(c);
            ++state.column;
        }
        state.previous = c;
    }
    return length;
}

MemoChange ChannelText::append(std::string_view bytes) {
    MemoChange change;
    if (bytes.empty()) {
        return change;
    }
    const std::size_t oldSize = size();
    buffer_.append(bytes.data(), bytes.size());
    if (size() <= cap_) {
        Display(tail_state_, bytes, &change.append);
        return change;
    }

    const std::size_t excess = size() - cap_;
    change.insertNote = !dropped_;
    dropped_ = true;
    const std::size_t removeChars =
        Display(head_state_, std::string_view(buffer_).substr(head_, excess), nullptr);
    head_ += excess;
    if (excess >= oldSize) {
        // Everything the memo showed goes: it starts over with the newest bytes.
        change.reset = true;
        change.insertNote = true;
        tail_state_ = head_state_;
        Display(tail_state_, bytes.substr(bytes.size() - cap_), &change.append);
    } else {
        change.removeChars = removeChars;
        Display(tail_state_, bytes, &change.append);
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
    head_state_ = {};
    tail_state_ = {};
    dropped_ = false;
    MemoChange change;
    change.reset = true;
    return change;
}

std::string ChannelText::memoText() const {
    std::string text = dropped_ ? std::string(kDroppedNote) : std::string();
    DisplayState state = head_state_;
    Display(state, bytes(), &text);
    return text;
}

} // namespace lvx
