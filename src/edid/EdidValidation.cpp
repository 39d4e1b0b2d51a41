#include "edid/EdidValidation.h"

namespace lvx {

namespace {

constexpr std::array<std::uint8_t, 8> kHeader{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

} // namespace

std::uint16_t ValidationError(const EdidImage& image) {
    for (std::size_t i = 0; i < kHeader.size(); ++i) {
        if (image[i] != kHeader[i]) {
            return kStatusHeaderError;
        }
    }
    if (BlockSum(image, 0) != 0) {
        return kStatusChecksum0Error;
    }
    const std::uint8_t extensions = image[kEdidExtensionCountOffset];
    if (extensions >= 2) {
        return kStatusOverBanks;
    }
    if (extensions == 1 && BlockSum(image, 1) != 0) {
        return kStatusChecksum1Error;
    }
    return 0;
}

bool Validate(EdidRecord& record) {
    record.status = static_cast<std::uint16_t>(record.status & ~kStatusValidationMask);
    record.status = static_cast<std::uint16_t>(record.status | ValidationError(record.image));
    return isValid(record);
}

bool isValid(std::uint16_t status) {
    return (status & kStatusValidationMask) == 0;
}

bool isValid(const EdidRecord& record) {
    return isValid(record.status);
}

std::string_view InvalidStatusMessage(std::uint16_t status) {
    if (status & kStatusHeaderError) {
        return "Illegal Edid Header.";
    }
    if (status & kStatusChecksum0Error) {
        return "Illegal Edid CheckSum0.";
    }
    if (status & kStatusChecksum1Error) {
        return "Illegal Edid CheckSum1.";
    }
    if (status & kStatusOverBanks) {
        return "Edid Over Banks.";
    }
    return {};
}

} // namespace lvx
