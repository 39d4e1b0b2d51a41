#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace lvx {

// The debug memo's text: received bytes, CRC errors, port and search messages, file results.
// Three operations, as the memo offers them: add a line, append text, replace the whole text.
// The text is capped; when it grows past the cap the oldest part is dropped.
class DebugLog {
public:
    explicit DebugLog(std::size_t cap = 256 * 1024) : cap_(cap) {}

    void addLine(std::string_view line);
    void appendText(std::string_view text);
    void setText(std::string_view text);
    void clear() { setText({}); }
    // Appends text the user must see even without the trace (a port refused for lack of
    // permission, and what to do): also handed to onNotice.
    void notice(std::string_view text);

    const std::string& text() const { return text_; }
    // Counts the changes that were not appends (a replaced text, the oldest half dropped at
    // the cap): while it stays the same, the text only grew at its end, and a view that
    // showed its first N bytes needs only the rest.
    std::uint64_t rewrites() const { return rewrites_; }

    // Called after every change with the whole new text (the GUI mirrors it into the memo).
    std::function<void(const std::string&)> onChanged;
    // Called with each added line or appended text as it comes (the CLI's --trace).
    std::function<void(std::string_view)> onTrace;
    // Called with each notice (the CLI prints them on standard error).
    std::function<void(std::string_view)> onNotice;

private:
    void changed(std::string_view piece);

    std::size_t cap_;
    std::string text_;
    std::uint64_t rewrites_ = 0;
};

} // namespace lvx
