#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lvx {

// Each channel keeps at most this much of its text; older text is dropped.
constexpr std::size_t kChannelTextCap = 1024 * 1024;

// The line a memo shows once at its top when older text of its channel was dropped.
constexpr std::string_view kDroppedNote = "[Older text was dropped: the last 1 MiB is kept.]\n";

// How a memo follows its channel's text: every step is proportional to what arrived, never
// to what the memo holds. The memo applies the parts in this order.
struct MemoChange {
    bool reset = false;          // empty the memo first
    bool insertNote = false;     // put kDroppedNote at the memo's top
    std::size_t removeChars = 0; // characters to remove right after the note (oldest text)
    std::string append;          // text to add at the end: Latin-1, '\n' for line breaks
};

// The text received on one channel: its bytes exactly as they came (so a log holds them byte
// for byte), capped, and how the memo shows them. The memo shows a line break for "\r\n",
// "\r" and "\n" alike, also when a "\r\n" arrives in two answers; every other byte is one
// Latin-1 character. So the memo always reads: the note (once text was dropped), then the
// kept bytes as shown.
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

    // Shows bytes that follow the byte `previous` (0 at the start of the text).
    static std::string Display(char previous, std::string_view bytes);
    // The length of Display(previous, bytes), without building it.
    static std::size_t DisplayLength(char previous, std::string_view bytes);

private:
    std::size_t cap_;
    // The kept text is buffer_[head_...]: dropping moves head_, and the dropped front is
    // erased only when it has grown past the cap, so a step costs what arrived.
    std::string buffer_;
    std::size_t head_ = 0;
    char beforeHead_ = 0; // the last byte dropped (it decides how a leading '\n' shows)
    bool dropped_ = false;
};

} // namespace lvx
