// Random and mutated images through the decoder and the analyzer. Nothing may crash or read
// outside the image (the sanitizer build adds ASan, UBSan and checked std::array subscripts),
// and what comes out stays within its ranges.

#include "EdidTestImages.h"

#include "edid/AnalyzerReport.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidFile.h"
#include "edid/EdidValidation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

using namespace lvx;
using namespace lvx::test;

namespace {

void CheckDecoded(const EdidImage& image) {
    auto record = std::make_unique<EdidRecord>(); // on the heap, where ASan watches its end
    const AnalyzerReport report = AnalyzeImage(*record, image);
    const EdidRecord& r = *record;
    ASSERT_EQ(report.valid, ValidationError(image) == 0);
    ASSERT_EQ(report.labels.size(), kAnalyzerRowCount);
    ASSERT_EQ(r.monitorName.back(), '\0');
    ASSERT_EQ(r.maxResolutionName.back(), '\0');
    ASSERT_TRUE(r.maxColorDepth == 8 || r.maxColorDepth == 10 || r.maxColorDepth == 12 ||
                r.maxColorDepth == 16);
    ASSERT_LE(r.maxAudioChannels, 8);
    ASSERT_TRUE(r.videoBlockOffset == 0 || r.videoBlockOffset >= kFirstDataBlock);
    ASSERT_LE(r.extensionPresetIndex, 10);
    ASSERT_LE(report.audioFormats.size(), report.audioFormatsFlat.size() + 2);
    if (report.valid) {
        ASSERT_EQ(__builtin_popcount(r.format & 0x0007), 1);
        ASSERT_EQ((r.format & kFormatNoExtension) != 0, image[126] == 0);
    }
}

// A valid image whose extension is a chain of data blocks with random tags and lengths,
// many of them HDMI or HDMI Forum vendor blocks or extended blocks the decoder reads, with
// a random DTD offset.
EdidImage StructuredImage(std::mt19937& rng) {
    auto below = [&](unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng); };
    EdidImage image;
    for (std::uint8_t& b : image) {
        b = static_cast<std::uint8_t>(below(256));
    }
    Put(image, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
    image[126] = below(8) != 0;
    for (std::size_t pos = 132; pos < 256;) {
        const unsigned length = below(4) == 0 ? below(32) : below(12);
        const unsigned tag = below(8) << 5;
        image[pos] = static_cast<std::uint8_t>(tag | length);
        if (tag == kTagVendor && pos + 3 < 256 && below(3) != 0) {
            Put(image, pos + 1, below(2) ? Bytes{0x03, 0x0C, 0x00} : Bytes{0xD8, 0x5D, 0xC4});
        }
        if (tag == kTagExtended && pos + 1 < 256) {
            image[pos + 1] = Bytes{0, 5, 6, 14, 15}[below(5)];
        }
        pos += length + 1;
    }
    image[130] = below(4) == 0 ? 0xFF : static_cast<std::uint8_t>(below(256));
    FixChecksums(image);
    return image;
}

} // namespace

TEST(edidRobustness, RandomAndStructuredImages) {
    std::mt19937 rng(20240611);
    for (int i = 0; i < 2000; ++i) {
        EdidImage image;
        for (std::uint8_t& b : image) {
            b = static_cast<std::uint8_t>(rng());
        }
        ASSERT_NO_FATAL_FAILURE(CheckDecoded(image));
        Put(image, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
        image[126] = static_cast<std::uint8_t>(i % 2);
        FixChecksums(image);
        ASSERT_NO_FATAL_FAILURE(CheckDecoded(image));
    }
    for (int i = 0; i < 10000; ++i) {
        const EdidImage image = StructuredImage(rng);
        ASSERT_EQ(ValidationError(image), 0);
        ASSERT_NO_FATAL_FAILURE(CheckDecoded(image));
    }
}

TEST(edidRobustness, CutAndMutatedSampleFiles) {
    std::mt19937 rng(99);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(LVX_CORPUS_DIR)) {
        if (entry.path().extension() != ".bin" || files++ % 3 != 0) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        bytes.resize(std::min<std::size_t>(bytes.size(), rng() % 300));
        EdidImage image = ImageFromFileBytes(bytes);
        ASSERT_NO_FATAL_FAILURE(CheckDecoded(image));
        for (int round = 0; round < 4; ++round) {
            for (unsigned n = 1 + rng() % 6; n > 0; --n) {
                image[128 + rng() % 128] = static_cast<std::uint8_t>(rng());
            }
            Put(image, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
            image[126] = 1;
            FixChecksums(image);
            ASSERT_NO_FATAL_FAILURE(CheckDecoded(image));
        }
    }
    EXPECT_GT(files, 1000);
}
