// Every EDID of the sample set through one creator model, one after another, as a user opens
// file after file: no crash, the hex table shows the file's bytes untouched, and the
// descriptor edits say what the test reads from the bytes itself.
#include "creator/CreatorControls.h"
#include "creator/CreatorEntry.h"
#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace lvx;
namespace fs = std::filesystem;

namespace {

// The first 256 bytes of a file, 0xFF for every byte it lacks.
EdidImage ReadBin(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EdidImage image;
    image.fill(0xFF);
    for (std::size_t i = 0; i < std::min<std::size_t>(bytes.size(), 256); ++i) {
        image[i] = static_cast<std::uint8_t>(bytes[i]);
    }
    return image;
}

bool Usable(const EdidImage& image) {
    const std::uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    unsigned sum0 = 0;
    unsigned sum1 = 0;
    for (std::size_t i = 0; i < 128; ++i) {
        sum0 += image[i];
        sum1 += image[128 + i];
    }
    return std::equal(std::begin(header), std::end(header), image.begin()) && sum0 % 256 == 0 &&
           image[126] <= 1 && (image[126] == 0 || sum1 % 256 == 0);
}

std::vector<fs::path> Corpus() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(LVX_CORPUS_DIR)) {
        if (entry.path().extension() == ".bin") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(CreatorCorpus, EveryFileLoadsOneAfterAnother) {
    const std::vector<fs::path> files = Corpus();
    ASSERT_GE(files.size(), 1000u);
    EdidWorkImage hex;
    CreatorModel model(hex);
    int valid = 0;
    for (const fs::path& file : files) {
        const EdidImage image = ReadBin(file);
        model.openImage(image);
        const std::string name = file.filename().string();
        ASSERT_EQ(hex.bytes(), image) << name;
        ASSERT_TRUE(model.loaded()) << name;
        if (!Usable(image)) {
            EXPECT_EQ(model.text(names::kManufacturer), "Error.") << name;
            continue;
        }
        ++valid;
        const unsigned word = (unsigned(image[8]) << 8) | image[9];
        const std::string letters = {char(0x40 | (word >> 10)), char(0x40 | ((word >> 5) & 0x1F)),
                                     char(0x40 | (word & 0x1F))};
        EXPECT_EQ(model.text(names::kManufacturer), letters) << name;
        const unsigned long serial = image[12] | (image[13] << 8) | (image[14] << 16) |
                                     (static_cast<unsigned long>(image[15]) << 24);
        EXPECT_EQ(model.text(names::kSerial), std::to_string(serial)) << name;
        EXPECT_EQ(model.text(names::kProduct), std::to_string(image[10] | (image[11] << 8)))
            << name;
        EXPECT_EQ(model.text(names::kYear), std::to_string(1990 + image[17])) << name;
        EXPECT_EQ(model.checked(names::kDvi), !model.checked(names::kHdmi)) << name;
        for (int n = 1; n <= 11; ++n) {
            if (!Speakers()[static_cast<std::size_t>(n - 1)].pairCaption.empty()) {
                const std::string left = FamilyName("CheckBox_SpeakerPosition_", n);
                EXPECT_EQ(model.checked(left), model.checked(left + "r")) << name;
            }
        }
    }
    EXPECT_GT(valid, 1000);
}

// Every valid EDID built with no edits: a valid image whose data blocks lie inside block 1
// and end exactly where the timings begin; block 0 as loaded (with "DVI": no extension).
// A second build from the record the first one left gives the same image.
TEST(CreatorCorpus, EveryValidFileBuildsIntoAValidImage) {
    EdidWorkImage hex;
    CreatorModel model(hex);
    int built = 0;
    for (const fs::path& file : Corpus()) {
        const EdidImage image = ReadBin(file);
        if (!Usable(image)) {
            continue;
        }
        const std::string name = file.filename().string();
        model.openImage(image);
        const BuildResult result = model.build();
        ASSERT_TRUE(result.ok) << name << ": " << result.error;
        const EdidImage& out = result.image;
        unsigned sum0 = 0;
        unsigned sum1 = 0;
        for (std::size_t i = 0; i < 128; ++i) {
            sum0 += out[i];
            sum1 += out[128 + i];
        }
        EXPECT_EQ(sum0 % 256, 0u) << name;
        EXPECT_EQ(sum1 % 256, 0u) << name;
        if (model.checked(names::kDvi)) {
            EXPECT_EQ(out[126], 0) << name;
            EXPECT_TRUE(std::all_of(out.begin() + 128, out.end(), [](std::uint8_t b) {
                return b == 0;
            })) << name;
            EXPECT_TRUE(std::equal(out.begin(), out.begin() + 126, image.begin())) << name;
        } else {
            EXPECT_TRUE(std::equal(out.begin(), out.begin() + 128, image.begin())) << name;
            EXPECT_EQ(out[128], 0x02) << name;
            const std::size_t end = 128 + out[130];
            ASSERT_LE(end, 254u) << name;
            std::size_t at = 132;
            while (at < end) {
                at += (out[at] & 0x1Fu) + 1;
            }
            EXPECT_EQ(at, end) << name << ": a data block runs past the timings";
            EXPECT_EQ(out[254], 0) << name;
        }
        const BuildResult again = model.build();
        ASSERT_TRUE(again.ok) << name;
        EXPECT_EQ(again.image, out) << name;
        ++built;
    }
    EXPECT_GT(built, 1000);
}

TEST(CreatorCorpus, OnePassOfAFreshCreatorShowsTheImage) {
    const std::vector<fs::path> files = Corpus();
    for (std::size_t i = 0; i < files.size(); i += 50) {
        const EdidImage image = ReadBin(files[i]);
        const CreatorPass pass = RunCreatorOnce(image);
        EXPECT_EQ(pass.shown, image) << files[i];
        EXPECT_NE(pass.status & kStatusCreatorLoaded, 0) << files[i];
        EXPECT_EQ(pass.built, pass.error.empty()) << files[i];
    }
}

} // namespace
