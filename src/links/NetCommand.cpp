#include "links/NetCommand.h"

#include "protocol/Crc16.h"

#include <algorithm>

namespace lvx {
namespace {

constexpr std::size_t kHeaderSize = 16; // up to and including the item
constexpr std::size_t kReplyDataOffset = 7;

std::string ReplyText(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* end = std::find(data, data + size, 0);
    return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(end - data));
}

std::uint16_t CommandCrc(std::vector<std::uint8_t> bytes) {
    std::fill(bytes.begin() + 10, bytes.begin() + 14, 0);
    return Crc16(kCrcInit, bytes.data() + 2, bytes.size() - 2);
}

bool IsEdidRead(NetCommandId id) {
    return id == netcmd::kInputEdidRead || id == netcmd::kOutputEdidRead ||
           id == netcmd::kUserEdidRead || id == netcmd::kInternalEdidRead;
}

} // namespace

bool CommandTakesData(NetCommandId id) {
    return id == netcmd::kProductString || id == netcmd::kInputEdidWrite ||
           id == netcmd::kUserEdidWrite || IsEdidRead(id);
}

std::vector<std::uint8_t> EdidUploadData(std::uint32_t nodeSelector, const EdidImage& image) {
    std::vector<std::uint8_t> data{static_cast<std::uint8_t>(nodeSelector & 0xFF)};
    data.insert(data.end(), image.begin(), image.end());
    return data;
}

std::vector<std::uint8_t> ProductStringData(const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

std::vector<std::uint8_t> BuildCommandDatagram(const MacAddress& mac, NetCommandId id,
                                               const std::vector<std::uint8_t>& data) {
    const bool withData = CommandTakesData(id);
    if (withData && data.size() > kMaxCommandData) {
        return {};
    }
    std::vector<std::uint8_t> out{kCommandType, 0x08, kTagMac, 0x06};
    out.insert(out.end(), mac.begin(), mac.end());
    out.insert(out.end(), {0, 0, 0, 0, id.group, id.item});
    if (withData) {
        out.insert(out.end(), data.begin(), data.end());
    }
    const std::size_t n = out.size() - 2;
    out[10] = static_cast<std::uint8_t>(n >> 8);
    out[11] = static_cast<std::uint8_t>(n & 0xFF);
    const std::uint16_t crc = CommandCrc(out);
    out[12] = static_cast<std::uint8_t>(crc >> 8);
    out[13] = static_cast<std::uint8_t>(crc & 0xFF);
    return out;
}

std::optional<NetCommandRequest> ParseCommandDatagram(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderSize || size > kDatagramBufferSize || data[0] != kCommandType ||
        data[1] != 0x08 || data[2] != kTagMac || data[3] != 0x06) {
        return std::nullopt;
    }
    const std::size_t n = static_cast<std::size_t>(data[10] << 8 | data[11]);
    if (n + 2 != size) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes(data, data + size);
    const std::uint16_t crc = static_cast<std::uint16_t>(data[12] << 8 | data[13]);
    if (CommandCrc(bytes) != crc) {
        return std::nullopt;
    }
    NetCommandRequest request;
    std::copy(data + 4, data + 10, request.mac.begin());
    request.id = {data[14], data[15]};
    request.data.assign(data + kHeaderSize, data + size);
    return request;
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

CommandReplyResult ApplyCommandReply(const std::uint8_t* data, std::size_t size,
                                     DeviceRecord& device, EdidImage& edid) {
    CommandReplyResult result;
    size = std::min(size, kDatagramBufferSize);
    if (size == 0 || data[0] != kCommandType) {
        return result;
    }
    result.effect = ReplyEffect::Ignored;
    if (size < kReplyDataOffset) {
        return result;
    }
    result.id = {data[5], data[6]};
    const std::uint8_t* body = data + kReplyDataOffset;
    const std::size_t bodySize = size - kReplyDataOffset;
    const NetCommandId id = result.id;
    bool applied = true;
    if (id == netcmd::kVersion) {
        device.version = "v" + PadLeft(ReplyText(body, bodySize), 4);
    } else if (id == netcmd::kVendorId) {
        device.vid = PadLeft(ReplyText(body, bodySize), 4);
    } else if (id == netcmd::kProductId) {
        device.pid = PadLeft(ReplyText(body, bodySize), 4);
    } else if (id == netcmd::kSerialNumber) {
        device.serialNumber = PadLeft(ReplyText(body, bodySize), 12);
    } else if (bodySize == 0) {
        applied = false; // a count or an EDID without a single data byte
    } else if (id == netcmd::kInputCount) {
        device.inputCount = body[0];
    } else if (id == netcmd::kOutputCount) {
        device.outputCount = body[0];
    } else if (id == netcmd::kUserCount) {
        device.userEdidCount = body[0];
    } else if (IsEdidRead(id)) {
        // Only a whole EDID counts: a short reply would leave old and new bytes mixed.
        if (bodySize < edid.size()) {
            applied = false;
        } else {
            std::copy(body, body + edid.size(), edid.begin());
        }
    } else {
        applied = false;
    }
    if (applied) {
        result.effect = ReplyEffect::Applied;
    }
    return result;
}

} // namespace lvx
