#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lvx {

constexpr std::size_t kReceiveBufferSize = 1024;

// Collects what the serial link delivers into answer lines, in a buffer of 1024 bytes (what
// does not fit is dropped), and judges a line once, when the bytes that just arrived end it
// with a line feed. A text of five characters or fewer is not judged: it stays, and later bytes
// are appended to it. No Qt, no I/O: bytes in, a verdict out.
class AnswerFramer {
public:
    enum class Verdict {
        NeedMore, // no line ended by these bytes, or one too short to judge
        Answer,   // a line whose CRC ("%04X" over the body) matches: text() holds it
        BadCrc,   // a line whose CRC does not match
    };

    // Appends bytes (those past the buffer's end are dropped) and judges the text held when
    // they end on a line feed. An empty piece is no arrival and is never judged.
    Verdict feed(std::string_view bytes);

    // The text held: the bytes stored, up to the first zero byte.
    std::string_view text() const;
    // How many bytes are held (at most kReceiveBufferSize).
    std::size_t size() const { return count_; }
    // A line is begun and its line feed has not come (a full buffer waits for nothing more).
    bool partial() const;

    // A new exchange: nothing held and the whole buffer zeroed.
    void clear();
    // The held answer was taken: later bytes are stored from the start again. The bytes
    // themselves stay until they are overwritten or clear() runs (see stored()).
    void take() { count_ = 0; }

    // The whole buffer, zeros included: every byte stored since the last clear(), also those
    // of an answer already taken. The reply to ENTRANCE is looked for here.
    std::string_view stored() const;

private:
    std::array<std::uint8_t, kReceiveBufferSize> buffer_{};
    std::size_t count_ = 0;
};

} // namespace lvx
