#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lvx {

// Each channel keeps at most this much of its text; older text is dropped.
constexpr std::size_t kChannelTextCap = 1024 * 1024;

// The line a memo shows once at its top when older text of its channel was dropped.
constexpr std::string_view kDroppedNote = "[Older text was dropped: the last 1 MiB is kept.]\n";

// The longest line a memo shows. Text that runs on longer without a line break is shown
// broken into lines of this length: laying out one line costs what the line holds, and a
// channel that never sends a line break would otherwise make every append cost the whole memo.
constexpr std::size_t kMemoLineMax = 1024;

// How a memo follows its channel's text: every step is proportional to what arrived, never
// to what the memo holds. The memo applies the parts in this order.
struct MemoChange {
    bool reset = false;          // empty the memo first
    bool insertNote = false;     // put kDroppedNote at the memo's top
    std::size_t removeChars = 0; // characters to remove right after the note (oldest text)
    std::string append;          // text to add at the end: Latin-1, '\n' for line breaks
};

// Where the shown text stands after some bytes: the last byte, and how long the line is.
struct DisplayState {
    char previous = 0;
    std::size_t column = 0;
};

// The text received on one channel: its bytes exactly as they came (so a log holds them byte
// for byte), capped, and how the memo shows them. The memo shows a line break for "\r\n",
// "\r" and "\n" alike, also when a "\r\n" arrives in two answers, and after every
// kMemoLineMax characters of a line; every other byte is one Latin-1 character. So the memo
// always reads: the note (once text was dropped), then the kept bytes as shown.
class ChannelText {
public:
    explicit ChannelText(std::size_t cap = kChannelTextCap) : cap_(cap > 0 ? cap : 1) {}

    MemoChange append(std::string_view bytes);
    MemoChange clear();

    // The kept bytes, oldest first.
    std::string_view bytes() const { return std::string_view(buffer_).substr(head_); }
    std::size_t size() const { return buffer_.size() - head_; }
    std::size_t cap() const { return cap_; }
    bool dropped() const { return dropped_; }

    // The whole memo text, as the changes build it.
    std::string memoText() const;

    // Shows bytes that follow the state `state` (a default state at the start of the text)
    // and moves the state past them. With `shown` null only the state moves and the length
    // of what would be shown is returned.
    static std::size_t Display(DisplayState& state, std::string_view bytes, std::string* shown);

private:
    std::size_t cap_;
    // The kept text is buffer_[head_...]: dropping moves head_, and the dropped front is
    // erased only when it has grown past the cap, so a step costs what arrived.
    std::string buffer_;
    std::size_t head_ = 0;
    DisplayState head_state_; // where the shown text stands before the kept bytes
    DisplayState tail_state_; // and after them
    bool dropped_ = false;
};

} // namespace lvx
