// The text codecs under every serial answer: hexadecimal pairs into bytes (HexToBytes, with
// an output buffer of exactly the size the input asks for), bytes back into text, and the
// answer check. The first input byte is the output size; the rest is the text.

#include "FuzzSupport.h"

#include "protocol/Crc16.h"
#include "protocol/Frame.h"
#include "protocol/Hex.h"

#include <memory>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Upper(char c) {
    return (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::size_t outSize = in.byte();
    const std::string text = in.text(in.left());

    // Exactly outSize bytes on the heap: a write past them is a sanitizer error.
    const std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[outSize]());
    HexToBytes(text, out.get(), outSize);

    // Whole pairs of digits come back as the same text, in upper case.
    const std::size_t pairs = std::min(outSize, text.size() / 2);
    for (std::size_t i = 0; i < pairs; ++i) {
        const char high = text[2 * i];
        const char low = text[2 * i + 1];
        if (IsHexDigit(high) && IsHexDigit(low)) {
            const std::string back = ByteToHex(out[i]);
            LVX_FUZZ_CHECK(back[0] == Upper(high) && back[1] == Upper(low));
        }
    }

    // The text as an answer body: with its CRC and a line feed it is valid, with the CRC in
    // lower case only when the CRC has no letter. An empty body is too short to judge.
    if (text.empty()) {
        LVX_FUZZ_CHECK(CheckAnswer(Hex4(Crc16(kCrcInit, text)) + "\n") == AnswerCheck::TooShort);
        return 0;
    }
    const std::string crc = Hex4(Crc16(kCrcInit, text));
    LVX_FUZZ_CHECK(CheckAnswer(text + crc + "\n") == AnswerCheck::Valid);
    std::string lower = crc;
    for (char& c : lower) {
        c = (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    LVX_FUZZ_CHECK((CheckAnswer(text + lower + "\n") == AnswerCheck::Valid) == (lower == crc));
    if (text.size() <= 5) {
        LVX_FUZZ_CHECK(CheckAnswer(text) == AnswerCheck::TooShort);
    }
    return 0;
}
