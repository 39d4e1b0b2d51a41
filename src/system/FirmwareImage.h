#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// Where a firmware file carries its header, and what it holds.
constexpr std::size_t kFirmwareHeaderOffset = 512;
constexpr std::size_t kFirmwareHeaderSize = 24;
// A firmware image is small; anything far larger is not one, and is not read into memory.
constexpr std::size_t kFirmwareMaxFileSize = 16u * 1024u * 1024u;

struct FirmwareHeader {
    std::string version;   // at most 8 characters, up to the first zero byte
    std::string vendorId;  // at most 4 characters
    std::string productId; // at most 4 characters
};

// The header at offset 512: "FW VER:", one byte not examined, the version text (8 bytes,
// ending at a zero byte within them), the vendor ID (4 characters), the product ID (4).
// Bytes past the end of the data read as zero. Nothing when "FW VER:" is not there, which is
// always so for data shorter than 519 bytes.
std::optional<FirmwareHeader> ParseFirmwareHeader(const std::uint8_t* data, std::size_t size);

// "Target :   VID-<vendor>     PID-<product>     Version-<version>".
std::string FirmwareTargetLabel(const FirmwareHeader& header);

// A firmware file held in memory. It is sent whole, byte 0 to device address 0; bytes past
// its end read as 0xFF (erased flash).
class FirmwareImage {
public:
    FirmwareImage() = default;
    explicit FirmwareImage(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::uint8_t at(std::size_t offset) const {
        return offset < bytes_.size() ? bytes_[offset] : 0xFF;
    }
    // `count` bytes from `address` on, padded with 0xFF past the end.
    std::vector<std::uint8_t> block(std::size_t address, std::size_t count) const;

private:
    std::vector<std::uint8_t> bytes_;
};

// The two loaders: kind 1 answers "$ISP029" and takes 64-byte blocks at 16-bit addresses;
// kind 2 answers "$ISP091" and takes 128-byte blocks at 32-bit addresses, with a page check
// after every 2048 bytes.
constexpr std::size_t kLoader1Block = 64;
constexpr std::size_t kLoader2Block = 128;
constexpr std::size_t kLoaderPage = 2048;
// Kind 1's address field holds 16 bits: an image past 64 KiB would wrap to address 0.
constexpr std::size_t kLoader1MaxImage = 65536;

std::size_t LoaderBlockSize(int kind);
// FW_ADDR's payload: bits 8-15 then 0-7 for kind 1, four bytes high first for kind 2.
std::vector<std::uint8_t> FirmwareAddressBytes(int kind, std::uint32_t address);
// Whether an image of this size can go to this loader without its address wrapping.
bool FirmwareFitsLoader(int kind, std::size_t size);

// The 16-bit page sum with a block's bytes added (modulo 65536).
std::uint16_t AddToPageSum(std::uint16_t sum, const std::vector<std::uint8_t>& block);
// The page sum as the device writes it: five decimal digits, leading zeros ("01234").
std::string PageSumText(std::uint16_t sum);
// Progress as shown: address x 100 / size, in whole percent.
int ProgressPercent(std::size_t address, std::size_t size);

// The device's answer to FW_CHK as found in the receive buffer: "$CHK" and five digits.
struct PageCheckAnswer {
    enum class State {
        None,     // no "$CHK" yet
        Partial,  // "$CHK" with fewer than five characters after it so far, line still open
        Complete, // "$CHK" and five characters, or a line that ended before them
    };
    State state = State::None;
    std::string sum;  // the (at most) five characters after "$CHK"
    std::string text; // everything after "$CHK" up to the end of its line
};
PageCheckAnswer ReadPageCheckAnswer(std::string_view buffer);

// The debug line of a page whose sum the device reports differently:
// "Warnning: Add:<address in lower-case hex>, Check:<device text, at least 4 wide>".
std::string PageWarningLine(std::uint32_t address, std::string_view deviceText);

} // namespace lvx
