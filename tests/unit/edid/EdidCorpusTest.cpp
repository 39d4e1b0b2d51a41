// Every EDID of the sample set, read as a .bin file is read, validated, decoded and reported;
// the results are compared with facts read straight from the file's bytes.

#include "edid/AnalyzerReport.h"
#include "edid/EdidFile.h"
#include "edid/EdidValidation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

using namespace lvx;
namespace fs = std::filesystem;

namespace {

// The facts, taken from the file without the units under test. A byte a short file lacks
// reads as 0xFF; a byte past offset 255 does not exist.
struct Facts {
    std::uint16_t error = 0;
    std::string manufacturer; // empty when byte 8's reserved bit is set
    bool hdmi = false;
    std::string cec = "0000";
};

Facts FactsOf(const std::vector<std::uint8_t>& file) {
    auto at = [&](std::size_t i) -> unsigned { return i < file.size() ? file[i] : 0xFFu; };
    auto in = [&](std::size_t i) -> unsigned { return i < 256 ? at(i) : 0u; };
    Facts f;
    unsigned sum0 = 0, sum1 = 0;
    for (std::size_t i = 0; i < 128; ++i) {
        sum0 += at(i);
        sum1 += at(128 + i);
    }
    bool header = at(0) == 0 && at(7) == 0;
    for (std::size_t i = 1; i < 7; ++i) {
        header = header && at(i) == 0xFF;
    }
    f.error = !header                      ? 0x0008
              : sum0 % 256                 ? 0x0010
              : at(126) > 1                ? 0x0040
              : at(126) == 1 && sum1 % 256 ? 0x0020
                                           : 0;
    const unsigned id = (at(8) << 8) | at(9);
    for (int shift = 10; shift >= 0 && !(id & 0x8000); shift -= 5) {
        f.manufacturer += static_cast<char>('A' - 1 + ((id >> shift) & 0x1F));
    }
    // Vendor blocks of the extension with the HDMI OUI 00-0C-03; the last one counts.
    const std::size_t end = at(126) == 1 ? std::min<std::size_t>(128 + at(130), 256) : 0;
    for (std::size_t pos = 132; pos < end; pos += (at(pos) & 0x1F) + 1) {
        if ((at(pos) >> 5) == 3 && pos + 3 < 256 && at(pos + 1) == 0x03 && at(pos + 2) == 0x0C &&
            at(pos + 3) == 0x00) {
            char text[8];
            const bool cec = (at(pos) & 0x1F) >= 5;
            std::snprintf(text, sizeof text, "%02X%02X", cec ? in(pos + 4) : 0,
                          cec ? in(pos + 5) : 0);
            f.hdmi = true;
            f.cec = text;
        }
    }
    return f;
}

} // namespace

TEST(edidCorpus, EveryFileValidatesDecodesAndReportsAsItsBytesSay) {
    const fs::path dir(LVX_CORPUS_DIR);
    std::map<std::string, std::string> kinds;
    std::ifstream manifest(dir / "MANIFEST.tsv");
    for (std::string line; std::getline(manifest, line);) {
        std::istringstream fields(line);
        std::string name, kind;
        std::getline(fields, name, '\t');
        std::getline(fields, kind, '\t');
        kinds[name] = kind;
    }

    std::map<std::string, int> count;
    EdidRecord shared; // one record for the whole run, as the program keeps
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".bin") {
            continue;
        }
        const std::string name = entry.path().filename().string();
        const std::string kind = kinds[name];
        SCOPED_TRACE(name + " (" + kind + ")");
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        ++count["files"];
        EXPECT_FALSE(kind.empty());

        const EdidImage image = ImageFromFileBytes(bytes);
        const Facts facts = FactsOf(bytes);
        EXPECT_EQ(ValidationError(image), facts.error);
        if (kind == "multi" && facts.error != 0x0008 && facts.error != 0x0010) {
            EXPECT_EQ(facts.error, kStatusOverBanks);
        }
        const AnalyzerReport report = AnalyzeImage(shared, image);
        EXPECT_EQ(shared.status & kStatusValidationMask, facts.error);
        EdidRecord fresh;
        EXPECT_EQ(AnalyzeImage(fresh, image).labels, report.labels); // nothing stale shows

        if (facts.error != 0) {
            ++count["invalid: " + std::string(InvalidStatusMessage(facts.error))];
            EXPECT_EQ(report.text("Label_Edid_Header"), "Illegal");
            EXPECT_EQ(report.text("Label_CEC_Address"), "-");
            continue;
        }
        ++count["valid"];
        ++count[facts.hdmi   ? "valid HDMI"
                : image[126] ? "valid DVI with extension"
                             : "valid DVI without extension"];
        EXPECT_EQ(report.text("Label_Edid_Header"), "Good");
        EXPECT_EQ(report.text("Label_Edid_Checksum"), "Good");
        if (!facts.manufacturer.empty()) {
            EXPECT_EQ(report.text("Label_Manufac_Name"), facts.manufacturer);
        }
        EXPECT_EQ(report.text("Label_Edid_Format"), facts.hdmi ? "HDMI" : "DVI");
        EXPECT_EQ(report.text("Label_CEC_Address"), facts.cec);
        for (const char* label : {"Label_Support_SCDC", "Label_Support_YUV420",
                                  "Label_Support_600MHz", "Label_Support_3D"}) {
            count[std::string(label) + " Yes"] += report.text(label) == "Yes";
        }
        count["audio text wrapped"] += report.valid && report.audioWrapped;
    }
    EXPECT_EQ(count["files"], 1500) << "sample set at " << LVX_CORPUS_DIR;
    for (const auto& [what, n] : count) {
        std::printf("corpus: %-36s %d\n", what.c_str(), n);
    }
}
