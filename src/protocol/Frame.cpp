#include "protocol/Frame.h"

#include "protocol/CommandTable.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"

namespace lvx {

std::vector<std::string> BuildFramePieces(std::uint8_t mode, std::uint16_t command,
                                          const std::uint8_t* data, std::size_t length) {
    std::vector<std::string> pieces;
    std::string header = "$";
    if (command > 0) {
        header += mode == ModeSet ? "SET " : "GET ";
    }
    header += CommandName(command);
    header += ' ';
    pieces.push_back(std::move(header));

    std::string crcText;
    if (mode == ModeSet && length > 0 && data != nullptr) {
        crcText.reserve(length * 2);
        for (std::size_t i = 0; i < length; ++i) {
            std::string pair = ByteToHex(data[i]);
            crcText += pair;
            pieces.push_back(std::move(pair));
        }
    }
    pieces.push_back(Hex4(Crc16(kCrcInit, crcText)) + "\r\n");
    return pieces;
}

std::string BuildFrame(std::uint8_t mode, std::uint16_t command, const std::uint8_t* data,
                       std::size_t length) {
    std::string frame;
    for (const std::string& piece : BuildFramePieces(mode, command, data, length)) {
        frame += piece;
    }
    return frame;
}

AnswerCheck CheckAnswer(std::string_view text) {
    if (text.size() <= 5) {
        return AnswerCheck::TooShort;
    }
    const std::size_t length = text.size();
    const std::string_view body = text.substr(0, length - 5);
    const std::string_view crc = text.substr(length - 5, 4);
    return Hex4(Crc16(kCrcInit, body)) == crc ? AnswerCheck::Valid : AnswerCheck::BadCrc;
}

} // namespace lvx
