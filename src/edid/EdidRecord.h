#pragma once

#include "common/EdidImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lvx {

// Status word bits. The four error bits are owned by validation; the rest belong to the
// creator's record.
constexpr std::uint16_t kStatusFieldError = 0x0001;
constexpr std::uint16_t kStatusCreatorLoaded = 0x0002;
constexpr std::uint16_t kStatusHeaderError = 0x0008;
constexpr std::uint16_t kStatusChecksum0Error = 0x0010;
constexpr std::uint16_t kStatusChecksum1Error = 0x0020;
constexpr std::uint16_t kStatusOverBanks = 0x0040;
constexpr std::uint16_t kStatusBrandNew = 0x0080;
constexpr std::uint16_t kStatusContentPresent = 0x0100;
constexpr std::uint16_t kStatusValidationMask = 0x0078;
// The bits a decode leaves standing.
constexpr std::uint16_t kStatusKeptByDecode = kStatusBrandNew | kStatusContentPresent;

// Format word bits, set only by the decoder.
constexpr std::uint16_t kFormatNoExtension = 0x0001;
constexpr std::uint16_t kFormatExtensionWithoutHdmi = 0x0002;
constexpr std::uint16_t kFormatHdmi = 0x0004;
constexpr std::uint16_t kFormat3dPresent = 0x0008;
constexpr std::uint16_t kFormatHdmiVic4k = 0x0010;
constexpr std::uint16_t kFormatUhdVic = 0x0020;

// Audio format flags, one per short-audio-descriptor format the analyzer names.
constexpr std::uint16_t kAudio2Pcm = 0x0001;
constexpr std::uint16_t kAudioMultiPcm = 0x0002;
constexpr std::uint16_t kAudioDolbyD = 0x0004;
constexpr std::uint16_t kAudioDolbyDPlus = 0x0008;
constexpr std::uint16_t kAudioDolbyHd = 0x0010;
constexpr std::uint16_t kAudioDts = 0x0020;
constexpr std::uint16_t kAudioDtsHd = 0x0040;
constexpr std::uint16_t kAudioAac = 0x0080;
constexpr std::uint16_t kAudioOneBit = 0x0100;

constexpr std::size_t kDetailedTimingSize = 18;
constexpr std::size_t kSvdCapacity = 24;
constexpr std::size_t kSadCapacity = 10;
constexpr std::size_t kYuv420VideoCapacity = 8;
constexpr std::size_t kHdmiVicCapacity = 4;
constexpr std::size_t k3dInfoSize = 16;
constexpr std::size_t kHdrMetadataCapacity = 6;

using DetailedTiming = std::array<std::uint8_t, kDetailedTimingSize>;

// One EDID with its validation status and everything the decoder takes from it.
//
// A decode starts from a fresh record (keeping only the brand-new and content-present status
// bits): fields marked "kept" hold 0 when the image lacks their source or is invalid, never
// what an earlier decode into the same record put there.
struct EdidRecord {
    std::uint16_t status = 0;
    std::uint16_t format = 0;
    EdidImage image{};

    std::array<char, 4> manufacturer{};   // kept; three letters and a terminator
    std::uint8_t monitorNameOffset = 0;   // image offset of the first name character, 0: none
    std::array<char, 14> monitorName{};   // up to 13 characters, terminated; "UNDEFINE."
    std::uint16_t productCode = 0;        // bytes 10-11, little-endian
    std::uint32_t serialNumber = 0;       // bytes 12-15, little-endian
    std::uint8_t year = 0;                // kept; byte 17 as stored
    std::uint8_t week = 0;                // kept; byte 16 as stored
    std::uint32_t establishedTimings = 0; // kept; bytes 35, 36, 37 in bits 23-0
    std::array<std::uint16_t, 8> standardTimings{}; // kept; byte pairs 38-53, first byte high

    std::array<std::uint8_t, 54> baseTimings{};       // first block-0 detailed timing in bytes 0-17
    std::array<DetailedTiming, 3> extensionTimings{}; // up to three block-1 detailed timings
    std::uint8_t basePresetIndex = 0;                 // kept
    std::uint8_t extensionPresetIndex = 0;            // kept
    // kept; bytes 12-14 of the first block-0 timing, then those of the first block-1 timing
    std::array<std::uint8_t, 6> timingExtra{};
    std::array<std::uint8_t, 2> horizontalBorder{}; // kept; [0] block-0 timing, [1] block-1
    std::array<std::uint8_t, 2> verticalBorder{};   // kept; [0] block-0 timing, [1] block-1

    std::uint8_t rangeLimitOffset = 0; // offset of the maximum pixel clock byte, 0: none
    std::uint8_t rangeLimitClock = 0;  // kept

    std::uint8_t extensionFlags = 0;   // image byte 131
    std::uint8_t hdmiCapability = 0;   // HDMI VSDB byte 6
    std::uint8_t maxColorDepth = 8;    // bits per component: 8, 10, 12 or 16
    std::uint8_t videoBlockOffset = 0; // tag byte of the last video data block
    std::uint8_t videoBlockLength = 0; // kept
    std::array<std::uint8_t, kSvdCapacity> svd{};
    std::array<std::array<std::uint8_t, 3>, kSadCapacity> sad{};
    std::uint32_t speakerAllocation = 0;
    std::array<std::uint8_t, kYuv420VideoCapacity> yuv420Video{};
    std::array<std::uint8_t, kHdmiVicCapacity> hdmiVic{};
    // [0] HDMI_3D_LEN, [1] the byte holding 3D_present, [2..15] the 3D data
    std::array<std::uint8_t, k3dInfoSize> info3d{};
    std::uint8_t videoCapability = 0;                             // kept
    std::array<std::uint8_t, 2> colorimetry{};                    // [0] reset, [1] kept
    std::array<std::uint8_t, kHdrMetadataCapacity> hdrMetadata{}; // [0] holds the EOTF bits
    std::array<char, 13> maxResolutionName{}; // "UNDEFINE." when no table VIC was seen
    std::uint8_t support600MHz = 0;
    std::uint8_t hdrDepthCode = 0;
    std::uint8_t scdc = 0;
    std::uint8_t yuv420 = 0;
    std::uint8_t yuv420DeepColor = 0; // HF-VSDB byte 7, low three bits
    std::array<std::uint8_t, 2> cecAddress{};
    std::uint16_t audioFlags = 0;
    std::uint8_t maxAudioChannels = 0;

    EdidRecord();
};

// Puts every decoded field that has a reset value back to it; the kept fields, the status
// word, the format word and the image are left alone.
void ResetDecodedFields(EdidRecord& record);

// The text of a terminated character field, up to its first NUL.
template <std::size_t N>
std::string FieldText(const std::array<char, N>& field) {
    std::size_t n = 0;
    while (n < N && field[n] != '\0') {
        ++n;
    }
    return std::string(field.data(), n);
}

// Fills a character field with a text, cut to leave room for the terminator, and NULs.
template <std::size_t N>
void SetFieldText(std::array<char, N>& field, std::string_view text) {
    field.fill('\0');
    for (std::size_t i = 0; i < text.size() && i + 1 < N; ++i) {
        field[i] = text[i];
    }
}

} // namespace lvx
