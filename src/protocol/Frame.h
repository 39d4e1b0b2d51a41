#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// A request frame as the separate writes that put it on the wire, in order:
// the header ("$SET NAME " / "$GET NAME " / "$ENTRANCE "), one piece of two hexadecimal
// characters per payload byte (SET only), and the trailer (CRC "%04X" and "\r\n").
// The CRC covers only the payload's hexadecimal characters.
std::vector<std::string> BuildFramePieces(std::uint8_t mode, std::uint16_t command,
                                          const std::uint8_t* data, std::size_t length);

// The whole frame as one text.
std::string BuildFrame(std::uint8_t mode, std::uint16_t command, const std::uint8_t* data = nullptr,
                       std::size_t length = 0);

// The text written for the wake-up, before ENTRANCE and as command 254.
constexpr std::string_view kWakeUpText = " \r";

// Outcome of checking a received answer text (the buffer up to its first zero byte).
enum class AnswerCheck {
    TooShort, // five characters or fewer: kept in the buffer, later bytes are appended
    Valid,    // CRC "%04X" over the body equals the four characters before the line feed
    BadCrc,
};

// The answer layout is body, four CRC characters, a final line feed; the CRC covers the
// whole body and is compared case-sensitively.
AnswerCheck CheckAnswer(std::string_view text);

} // namespace lvx
