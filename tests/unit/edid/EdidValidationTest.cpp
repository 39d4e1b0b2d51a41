#include "EdidTestImages.h"

#include "edid/EdidFile.h"
#include "edid/EdidValidation.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lvx;
using namespace lvx::test;

namespace {

EdidImage Broken(EdidImage image, std::initializer_list<std::size_t> offsets) {
    for (std::size_t i : offsets) {
        image[i] ^= 0x01;
    }
    return image;
}

} // namespace

TEST(edidValidation, ChecksRunInOrderAndStopAtTheFirstFailure) {
    EXPECT_EQ(ValidationError(Image(0)), 0);
    // With no extension announced block 1 is not looked at; one extension passes whatever its
    // tag (here DisplayID's) when its checksum is right.
    EXPECT_EQ(ValidationError(Broken(Image(0), {200, 255})), 0);
    EXPECT_EQ(ValidationError(Image(1, {{128, {0x70}}})), 0);

    EXPECT_EQ(ValidationError(Broken(Image(1), {3, 127, 255})), kStatusHeaderError);
    EXPECT_EQ(ValidationError(Broken(Image(1), {127, 255})), kStatusChecksum0Error);
    EXPECT_EQ(ValidationError(Broken(Image(1), {255})), kStatusChecksum1Error);
    for (std::uint8_t count : {2, 3, 255}) { // tested before block 1's checksum
        EXPECT_EQ(ValidationError(Broken(Image(count), {255})), kStatusOverBanks);
    }
}

TEST(edidValidation, StatusKeepsOnlyTheLastFaultAndTheOtherBits) {
    const std::uint16_t others =
        kStatusFieldError | kStatusCreatorLoaded | kStatusBrandNew | kStatusContentPresent;
    EdidRecord record;
    record.status = others;
    record.image = Broken(Image(0), {127});
    EXPECT_FALSE(Validate(record));
    record.image = Broken(Image(0), {0});
    EXPECT_FALSE(Validate(record));
    EXPECT_EQ(record.status, others | kStatusHeaderError);
    EXPECT_EQ(InvalidStatusMessage(record.status), "Illegal Edid Header.");
    record.image = Image(0);
    EXPECT_TRUE(Validate(record));
    EXPECT_TRUE(isValid(record));
    EXPECT_EQ(record.status, others);
}

TEST(edidValidation, Messages) {
    EXPECT_EQ(InvalidStatusMessage(kStatusHeaderError), "Illegal Edid Header.");
    EXPECT_EQ(InvalidStatusMessage(kStatusChecksum0Error), "Illegal Edid CheckSum0.");
    EXPECT_EQ(InvalidStatusMessage(kStatusChecksum1Error), "Illegal Edid CheckSum1.");
    EXPECT_EQ(InvalidStatusMessage(kStatusOverBanks), "Edid Over Banks.");
    // Bits are tested header, checksum 0, checksum 1, over banks.
    EXPECT_EQ(InvalidStatusMessage(kStatusOverBanks | kStatusChecksum1Error),
              "Illegal Edid CheckSum1.");
    EXPECT_EQ(InvalidStatusMessage(kStatusBrandNew | kStatusFieldError), "");
}

TEST(edidFile, ImageFromFileBytes) {
    // A 128-byte file: block 1 is 0xFF, fine without an extension; with one, 128 bytes of
    // 0xFF sum to 0x80 and fail the block-1 checksum.
    const EdidImage base = Image(0);
    const EdidImage image = ImageFromFileBytes(base.data(), 128);
    EXPECT_TRUE(std::all_of(image.begin() + 128, image.end(), [](auto b) { return b == 0xFF; }));
    EXPECT_EQ(ValidationError(image), 0);
    EXPECT_EQ(ValidationError(ImageFromFileBytes(Image(1).data(), 128)), kStatusChecksum1Error);
    // Only the first 256 bytes of a longer file count; an empty file is all 0xFF.
    const EdidImage full = Image(1);
    std::vector<std::uint8_t> longFile(full.begin(), full.end());
    longFile.resize(384, 0xAB);
    EXPECT_EQ(ImageFromFileBytes(longFile), full);
    const EdidImage empty = ImageFromFileBytes(nullptr, 0);
    EXPECT_TRUE(std::all_of(empty.begin(), empty.end(), [](auto b) { return b == 0xFF; }));
}

TEST(edidFile, SaveNames) {
    const std::pair<const char*, const char*> names[] = {
        {"edid", "edid.bin"},
        {"edid.bin", "edid.bin"},
        {"edid.BIN", "edid.BIN.bin"},
        {"tv.bin.txt", "tv.bin.txt.bin"},
        {"tv.", "tv..bin"},
        {"/home/u/dir.x/file", "/home/u/dir.x/file.bin"},
        {"/home/u/dir.bin/file.bin", "/home/u/dir.bin/file.bin"},
        {".bin", ".bin.bin"}, // a leading dot starts no extension
        {"dir/.bin", "dir/.bin.bin"},
        {"", ""},
        {"dir/", ""},
    };
    for (const auto& [chosen, saved] : names) {
        EXPECT_EQ(BinSaveName(chosen), saved) << chosen;
    }
    EXPECT_EQ(DefaultSaveName({NodeKind::Input, 0}), "Input1 EDID");
    EXPECT_EQ(DefaultSaveName({NodeKind::Output, 1}), "Output2 EDID");
    EXPECT_EQ(DefaultSaveName({NodeKind::User, 3}), "User4 EDID");
    EXPECT_EQ(DefaultSaveName({NodeKind::Internal, 254}), "Internal255 EDID");
}
