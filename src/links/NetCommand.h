#pragma once

#include "common/EdidImage.h"
#include "links/NetworkRecord.h"
#include "links/TlvDatagram.h"
#include "protocol/DeviceRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lvx {

// A command of a network device: group and item.
struct NetCommandId {
    std::uint8_t group = 0;
    std::uint8_t item = 0;
    bool operator==(const NetCommandId& other) const {
        return group == other.group && item == other.item;
    }
};

namespace netcmd {
constexpr NetCommandId kVersion{1, 2};        // reply: firmware version text
constexpr NetCommandId kProductString{1, 3};  // data: text and a zero byte
constexpr NetCommandId kInputCount{2, 0};     // reply: count in byte 0
constexpr NetCommandId kInputEdidWrite{2, 6}; // data: node index, 256 EDID bytes
constexpr NetCommandId kInputEdidRead{2, 7};  // data: input index; reply: 256 EDID bytes
constexpr NetCommandId kOutputCount{3, 0};
constexpr NetCommandId kOutputEdidRead{3, 4};
constexpr NetCommandId kUserCount{9, 0};
constexpr NetCommandId kUserEdidWrite{9, 1};
constexpr NetCommandId kUserEdidRead{9, 2};
constexpr NetCommandId kInternalEdidRead{10, 1};
constexpr NetCommandId kVendorId{12, 0};
constexpr NetCommandId kProductId{12, 1};
constexpr NetCommandId kSerialNumber{12, 3};
} // namespace netcmd

// Largest data part of a command datagram that is built.
constexpr std::size_t kMaxCommandData = kDatagramBufferSize - 16;

// Whether a request of this command carries data; all others are sent with none.
bool CommandTakesData(NetCommandId id);

// Request data of the EDID uploads: the low byte of the node selector, then the image.
std::vector<std::uint8_t> EdidUploadData(std::uint32_t nodeSelector, const EdidImage& image);
// Request data of the product string write: the text and one zero byte.
std::vector<std::uint8_t> ProductStringData(const std::string& text);

// The type-5 datagram to the device with this MAC: 05 08 02 06, MAC, N (datagram length - 2)
// high byte first, CRC-16 over bytes 2 to N + 1 computed with bytes 10 to 13 zero, high byte
// first, group, item, data. Data is dropped for commands that take none. Empty when the data
// is longer than kMaxCommandData.
std::vector<std::uint8_t> BuildCommandDatagram(const MacAddress& mac, NetCommandId id,
                                               const std::vector<std::uint8_t>& data = {});

// A command datagram as the device reads it.
struct NetCommandRequest {
    MacAddress mac{};
    NetCommandId id;
    std::vector<std::uint8_t> data;
};
// Decodes a datagram built by BuildCommandDatagram; nothing when the header, N or the CRC
// does not hold.
std::optional<NetCommandRequest> ParseCommandDatagram(const std::uint8_t* data, std::size_t size);

enum class ReplyEffect {
    NotCommand, // empty, or byte 0 is not 5
    Ignored,    // a command reply that changes nothing
    Applied,
};

struct CommandReplyResult {
    ReplyEffect effect = ReplyEffect::NotCommand;
    NetCommandId id;
};

// Applies a command reply (05, four bytes not examined, group, item, data) to the selected
// device's record and to the device EDID image. Texts end at the first zero byte;
// identities are padded on the left with spaces to 4 characters ("%04s"), the serial
// number to 12, and the version is "v" and the padded text. An EDID reply shorter than 256
// data bytes is ignored. At most kDatagramBufferSize bytes are used.
CommandReplyResult ApplyCommandReply(const std::uint8_t* data, std::size_t size,
                                     DeviceRecord& device, EdidImage& edid);

// "%*s": the text, with spaces in front up to the width.
std::string PadLeft(const std::string& text, std::size_t width);

// The queries sent when a network device is opened: the first group, a wait, the second.
struct OpeningQueries {
    std::array<NetCommandId, 4> first{netcmd::kVendorId, netcmd::kProductId, netcmd::kSerialNumber,
                                      netcmd::kVersion};
    std::array<NetCommandId, 3> second{netcmd::kInputCount, netcmd::kOutputCount,
                                       netcmd::kUserCount};
};

} // namespace lvx
