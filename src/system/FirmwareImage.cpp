#include "system/FirmwareImage.h"

#include <algorithm>
#include <cstdio>

namespace lvx {
namespace {

// Characters of a fixed field up to its first zero byte; bytes past the data are zero.
std::string FieldText(const std::uint8_t* data, std::size_t size, std::size_t offset,
                      std::size_t width) {
    std::string text;
    for (std::size_t i = offset; i < offset + width && i < size && data[i] != 0; ++i) {
        text.push_back(static_cast<char>(data[i]));
    }
    return text;
}

constexpr std::string_view kHeaderMark = "FW VER:";

} // namespace

std::optional<FirmwareHeader> ParseFirmwareHeader(const std::uint8_t* data, std::size_t size) {
    const std::size_t at = kFirmwareHeaderOffset;
    if (data == nullptr || size < at + kHeaderMark.size() ||
        !std::equal(kHeaderMark.begin(), kHeaderMark.end(), data + at)) {
        return std::nullopt;
    }
    FirmwareHeader header;
    header.version = FieldText(data, size, at + 8, 8);
    header.vendorId = FieldText(data, size, at + 16, 4);
    header.productId = FieldText(data, size, at + 20, 4);
    return header;
}

std::string FirmwareTargetLabel(const FirmwareHeader& header) {
    return "Target :   VID-" + header.vendorId + "     PID-" + header.productId + "     Version-" +
           header.version;
}

std::vector<std::uint8_t> FirmwareImage::block(std::size_t address, std::size_t count) const {
    std::vector<std::uint8_t> out(count, 0xFF);
    if (address < bytes_.size()) {
        const std::size_t n = std::min(count, bytes_.size() - address);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(address), n, out.begin());
    }
    return out;
}

std::size_t LoaderBlockSize(int kind) {
    return kind == 1 ? kLoader1Block : kLoader2Block;
}

std::vector<std::uint8_t> FirmwareAddressBytes(int kind, std::uint32_t address) {
    if (kind == 1) {
        return {static_cast<std::uint8_t>((address >> 8) & 0xFF),
                static_cast<std::uint8_t>(address & 0xFF)};
    }
    return {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
            static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

bool FirmwareFitsLoader(int kind, std::size_t size) {
    return kind != 1 || size <= kLoader1MaxImage;
}

std::uint16_t AddToPageSum(std::uint16_t sum, const std::vector<std::uint8_t>& block) {
    unsigned total = sum;
    for (std::uint8_t b : block) {
        total += b;
    }
    return static_cast<std::uint16_t>(total & 0xFFFF);
}

std::string PageSumText(std::uint16_t sum) {
    char text[8];
    std::snprintf(text, sizeof text, "%05u", static_cast<unsigned>(sum));
    return text;
}

int ProgressPercent(std::size_t address, std::size_t size) {
    if (size == 0) {
        return 100;
    }
    return static_cast<int>(static_cast<unsigned long long>(address) * 100ULL /
                            static_cast<unsigned long long>(size));
}

PageCheckAnswer ReadPageCheckAnswer(std::string_view buffer) {
    PageCheckAnswer answer;
    const std::size_t mark = buffer.find("$CHK");
    if (mark == std::string_view::npos) {
        return answer;
    }
    std::string_view rest = buffer.substr(mark + 4);
    const std::size_t lineEnd = rest.find_first_of("\r\n");
    answer.text = std::string(rest.substr(0, lineEnd));
    // Five characters are compared; a line that ended before them is complete too (and
    // cannot match).
    if (rest.size() < 5 && lineEnd == std::string_view::npos) {
        answer.state = PageCheckAnswer::State::Partial;
        return answer;
    }
    answer.state = PageCheckAnswer::State::Complete;
    answer.sum = std::string(rest.substr(0, 5));
    return answer;
}

std::string PageWarningLine(std::uint32_t address, std::string_view deviceText) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(address));
    std::string check(deviceText);
    if (check.size() < 4) {
        check.insert(0, 4 - check.size(), ' ');
    }
    return std::string("Warnning: Add:") + hex + ", Check:" + check;
}

} // namespace lvx
