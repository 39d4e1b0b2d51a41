// The combination of EDIDs: hand-made displays for the rules and the report, the intents on a
// 4K HDR display of the sample set, and pairs and triples of the sample set, each result read
// back here byte by byte and held against each input read the same way.

#include "edid/EdidCombine.h"
#include "EdidParseTestSupport.h"
#include "edid/EdidParse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

using namespace lvx;
using namespace lvx::test;
namespace fs = std::filesystem;

namespace {

// ---- An independent reading of an EDID's bytes ----------------------------------------

struct Sad {
    int code;
    int ext;
    int channels;
    int rates;
    int byte3;
};

struct Timing {
    int clock10kHz;
    int hActive, hBlank, vActive, vBlank;
    bool interlaced;
};

struct Reading {
    std::set<int> vics;     // short video descriptors (native flag stripped)
    std::set<int> y420Only; // in the 4:2:0 video block
    std::set<int> y420Cap;  // flagged in the 4:2:0 capability map
    std::vector<int> svdOrder;
    std::vector<Sad> sads;
    bool basicAudio = false;
    int speakers = -1;
    int ctaFlags = 0;
    bool hdr = false, forum = false, hdmi = false, colorimetry = false;
    int colorimetryBits = 0;
    int hdmiCaps = 0, hdmiTmds = 0, forumTmds = -1, forumDc420 = 0;
    std::vector<Timing> dtds;
    int established[3] = {0, 0, 0};
    std::vector<std::array<int, 2>> standard;
    bool range = false;
    int minV = 0, maxV = 0, minH = 0, maxH = 0, maxClock = 0;
};

int HdmiVicAsVic(int h) {
    static const int kMap[5] = {0, 95, 94, 93, 98};
    return h >= 1 && h <= 4 ? kMap[h] : 0;
}

Timing ReadDtd(const Bytes& b, std::size_t p) {
    Timing t{};
    t.clock10kHz = b[p] | (b[p + 1] << 8);
    t.hActive = b[p + 2] | ((b[p + 4] >> 4) << 8);
    t.hBlank = b[p + 3] | ((b[p + 4] & 0x0F) << 8);
    t.vActive = b[p + 5] | ((b[p + 7] >> 4) << 8);
    t.vBlank = b[p + 6] | ((b[p + 7] & 0x0F) << 8);
    t.interlaced = (b[p + 17] & 0x80) != 0;
    return t;
}

void ReadVendor(const Bytes& b, std::size_t p, int len, Reading& r) {
    if (len >= 5 && b[p + 1] == 0x03 && b[p + 2] == 0x0C && b[p + 3] == 0x00) {
        r.hdmi = true;
        r.hdmiCaps = len >= 6 ? b[p + 6] : 0;
        r.hdmiTmds = len >= 7 ? b[p + 7] * 5 : 0;
        if (len >= 8 && (b[p + 8] & 0x20)) {
            std::size_t q = p + 9 + ((b[p + 8] & 0x80) ? 2 : 0) + ((b[p + 8] & 0x40) ? 2 : 0);
            const int vicLen = q + 1 < p + 1 + len ? b[q + 1] >> 5 : 0;
            for (int i = 0; i < vicLen && q + 2 + i < p + 1 + len; ++i) {
                r.vics.insert(HdmiVicAsVic(b[q + 2 + i]));
            }
        }
    }
    if (len >= 5 && b[p + 1] == 0xD8 && b[p + 2] == 0x5D && b[p + 3] == 0xC4) {
        r.forum = true;
        r.forumTmds = b[p + 5] * 5;
        r.forumDc420 = len >= 7 ? b[p + 7] & 0x07 : 0;
    }
}

void ReadExtended(const Bytes& b, std::size_t p, int len, Reading& r) {
    const int ext = b[p + 1];
    if (ext == 6) {
        r.hdr = true;
    } else if (ext == 5) {
        r.colorimetry = true;
        r.colorimetryBits = len >= 2 ? b[p + 2] : 0;
    } else if (ext == 14) {
        for (int i = 2; i <= len; ++i) {
            r.y420Only.insert(b[p + i]);
        }
    } else if (ext == 15) {
        for (int i = 2; i <= len; ++i) {
            for (int bit = 0; bit < 8; ++bit) {
                const std::size_t at = static_cast<std::size_t>((i - 2) * 8 + bit);
                if ((b[p + i] >> bit) & 1 && at < r.svdOrder.size()) {
                    r.y420Cap.insert(r.svdOrder[at]);
                }
            }
        }
    }
}

void ReadCta(const Bytes& b, std::size_t start, Reading& r) {
    const std::size_t d = b[start + 2];
    r.ctaFlags |= b[start + 3];
    r.basicAudio = r.basicAudio || (b[start + 3] & 0x40) != 0;
    for (std::size_t p = start + 4; p < start + d && p < start + 127;) {
        const int tag = b[p] >> 5;
        const int len = b[p] & 0x1F;
        for (int i = 1; tag == 2 && i <= len; ++i) {
            const int raw = b[p + i];
            const int vic = raw >= 129 && raw <= 192 ? raw & 0x7F : raw;
            r.vics.insert(vic);
            r.svdOrder.push_back(vic);
        }
        for (int i = 1; tag == 1 && i + 2 <= len; i += 3) {
            const int c = (b[p + i] >> 3) & 0x0F;
            r.sads.push_back({c, c == 15 ? b[p + i + 2] >> 3 : 0, (b[p + i] & 7) + 1,
                              b[p + i + 1] & 0x7F,
                              c == 1 || c == 15 ? b[p + i + 2] & 7 : b[p + i + 2]});
        }
        if (tag == 4 && len >= 3) {
            r.speakers = b[p + 1] | (b[p + 2] << 8) | (b[p + 3] << 16);
        }
        if (tag == 3) {
            ReadVendor(b, p, len, r);
        }
        if (tag == 7 && len >= 1) {
            ReadExtended(b, p, len, r);
        }
        p += static_cast<std::size_t>(len) + 1;
    }
    for (std::size_t p = start + d; d >= 4 && p + 18 <= start + 127; p += 18) {
        if (b[p] != 0 || b[p + 1] != 0) {
            r.dtds.push_back(ReadDtd(b, p));
        }
    }
}

Reading Read(const Bytes& b) {
    Reading r;
    for (int i = 0; i < 3; ++i) {
        r.established[i] = b[35 + static_cast<std::size_t>(i)];
    }
    for (std::size_t at = 38; at < 54; at += 2) {
        r.standard.push_back({b[at], b[at + 1]});
    }
    for (std::size_t p = 54; p < 126; p += 18) {
        if (b[p] != 0 || b[p + 1] != 0) {
            r.dtds.push_back(ReadDtd(b, p));
        } else if (b[p + 3] == 0xFA) {
            for (std::size_t at = p + 5; at + 1 < p + 17; at += 2) {
                r.standard.push_back({b[at], b[at + 1]});
            }
        } else if (b[p + 3] == 0xFD) {
            const bool v14 = b[18] == 1 && b[19] >= 4;
            const int o = v14 ? b[p + 4] : 0;
            r.range = true;
            r.minV = b[p + 5] + ((o & 3) == 3 ? 255 : 0);
            r.maxV = b[p + 6] + ((o & 2) ? 255 : 0);
            r.minH = b[p + 7] + ((o & 12) == 12 ? 255 : 0);
            r.maxH = b[p + 8] + ((o & 8) ? 255 : 0);
            r.maxClock = b[p + 9] * 10;
        }
    }
    for (std::size_t start = 128; start + 128 <= b.size(); start += 128) {
        if (b[start] == 0x02) {
            ReadCta(b, start, r);
        }
    }
    r.vics.erase(0);
    return r;
}

bool ChecksumsRight(const Bytes& b) {
    if (b.size() % 128 != 0 || b.empty() || b[126] + 1u != b.size() / 128) {
        return false;
    }
    for (std::size_t start = 0; start < b.size(); start += 128) {
        unsigned sum = 0;
        for (std::size_t i = start; i < start + 128; ++i) {
            sum += b[i];
        }
        if (sum % 256 != 0) {
            return false;
        }
    }
    return true;
}

// What an input allows of a result's audio descriptor: some descriptor of the same format
// with at least the channels and every rate and size (L-PCM) of it. Basic audio stands for
// 2-channel L-PCM at 32, 44.1 and 48 kHz, 16 bit.
bool AudioCovered(const Reading& in, const Sad& s) {
    std::vector<Sad> all = in.sads;
    if (in.basicAudio) {
        all.push_back({1, 0, 2, 0x07, 0x01});
    }
    return std::any_of(all.begin(), all.end(), [&](const Sad& a) {
        const bool rates = (s.rates & ~a.rates) == 0;
        // L-PCM and the extended formats: sizes or flags; AC-3 to ATRAC: the bit rate.
        const bool b3 = s.code == 1 || s.code == 15  ? (s.byte3 & ~a.byte3) == 0
                        : s.code >= 2 && s.code <= 8 ? s.byte3 <= a.byte3
                                                     : true;
        return a.code == s.code && a.ext == s.ext && a.channels >= s.channels && rates && b3;
    });
}

// Rates of a detailed timing, worked out here.
struct Rates {
    double vHz, hKHz, mhz;
};

Rates RatesOf(const Timing& t) {
    const double clock = t.clock10kHz * 10000.0;
    const double hTotal = t.hActive + t.hBlank;
    const double lines = t.interlaced ? t.vActive + t.vBlank + 0.5 : t.vActive + t.vBlank;
    return {clock / hTotal / lines, clock / hTotal / 1000.0, clock / 1e6};
}

bool SameDtd(const Timing& a, const Timing& b) {
    const double hi = std::max(a.clock10kHz, b.clock10kHz);
    const double lo = std::min(a.clock10kHz, b.clock10kHz);
    return a.hActive == b.hActive && a.vActive == b.vActive && a.interlaced == b.interlaced &&
           a.hActive + a.hBlank == b.hActive + b.hBlank && hi - lo <= hi * 0.005 + 1;
}

// Some VIC formats with their progressive sizes and clocks, for the DTDs a result makes of a
// VIC: (vic, hActive, vActive, clock in 10 kHz).
struct VicRow {
    int vic, h, v, clock;
    bool interlaced = false;
};
const VicRow kVics[] = {
    {5, 1920, 1080, 7425, true}, {20, 1920, 1080, 7425, true}, {1, 640, 480, 2518},
    {2, 720, 480, 2700},         {3, 720, 480, 2700},          {4, 1280, 720, 7425},
    {16, 1920, 1080, 14850},     {17, 720, 576, 2700},         {18, 720, 576, 2700},
    {19, 1280, 720, 7425},       {31, 1920, 1080, 14850},      {32, 1920, 1080, 7425},
    {33, 1920, 1080, 7425},      {34, 1920, 1080, 7425},       {63, 1920, 1080, 29700},
    {64, 1920, 1080, 29700},     {93, 3840, 2160, 29700},      {94, 3840, 2160, 29700},
    {95, 3840, 2160, 29700},     {96, 3840, 2160, 59400},      {97, 3840, 2160, 59400},
    {98, 4096, 2160, 29700},     {102, 4096, 2160, 59400},
};

// The established timings: byte (0-2 for bytes 35-37), bit, size and rate.
struct Established {
    int byte, bit, h, v, hz;
};
constexpr Established kEstablished[] = {
    {0, 7, 720, 400, 70},  {0, 6, 720, 400, 88},  {0, 5, 640, 480, 60},   {0, 4, 640, 480, 67},
    {0, 3, 640, 480, 72},  {0, 2, 640, 480, 75},  {0, 1, 800, 600, 56},   {0, 0, 800, 600, 60},
    {1, 7, 800, 600, 72},  {1, 6, 800, 600, 75},  {1, 5, 832, 624, 75},   {1, 3, 1024, 768, 60},
    {1, 2, 1024, 768, 70}, {1, 1, 1024, 768, 75}, {1, 0, 1280, 1024, 75}, {2, 7, 1152, 870, 75},
};

bool TakesDtd(const Reading& in, const Timing& t) {
    if (std::any_of(in.dtds.begin(), in.dtds.end(),
                    [&](const Timing& d) { return SameDtd(d, t); })) {
        return true;
    }
    const int frameLines = t.interlaced ? t.vActive * 2 : t.vActive;
    for (const VicRow& v : kVics) {
        const double hi = std::max(v.clock, t.clock10kHz);
        if (in.vics.count(v.vic) && v.h == t.hActive && v.v == frameLines &&
            v.interlaced == t.interlaced && std::abs(v.clock - t.clock10kHz) <= hi * 0.005 + 1) {
            return true;
        }
    }
    const Rates r = RatesOf(t);
    const auto sameAs = [&](int h, int v, int hz) {
        return h == t.hActive && v == frameLines && std::abs(std::lround(r.vHz) - hz) <= 1;
    };
    for (const Established& e : kEstablished) {
        if ((in.established[e.byte] >> e.bit) & 1 && sameAs(e.h, e.v, e.hz)) {
            return true;
        }
    }
    for (const auto& code : in.standard) {
        static const int kAspect[4][2] = {{10, 16}, {3, 4}, {4, 5}, {9, 16}};
        const int h = (code[0] + 31) * 8;
        if (code[0] > 1 && sameAs(h, h * kAspect[code[1] >> 6][0] / kAspect[code[1] >> 6][1],
                                  (code[1] & 0x3F) + 60)) {
            return true;
        }
    }
    return in.range && std::lround(r.vHz) >= in.minV && std::lround(r.vHz) <= in.maxV &&
           std::lround(r.hKHz) >= in.minH && std::lround(r.hKHz) <= in.maxH &&
           (in.maxClock == 0 || std::lround(r.mhz) <= in.maxClock);
}

std::set<std::string_view> FailureIds(const EdidParse& p) {
    std::set<std::string_view> ids;
    for (const EdidFinding& f : p.findings) {
        if (f.severity == FindingSeverity::Failure) {
            ids.insert(f.id);
        }
    }
    return ids;
}

// ---- Sources -------------------------------------------------------------------------

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

const fs::path kCorpus = LVX_CORPUS_DIR;

Bytes Corpus(const std::string& name) {
    return ReadFile(kCorpus / name);
}

// A 4K HDR television of the sample set: VIC 97, 4:2:0, HDR, the HDMI Forum block, 8-channel
// audio.
const char* const k4kHdr = "0146DD9202CC.bin";

// A display with the test base block (1080p preferred, 640x480 established) and a CTA block
// of the given VICs, L-PCM audio of `channels` channels and an HDMI block.
Bytes Display(const Bytes& vics, int channels, std::uint8_t extraFlags = 0) {
    TestEdid e;
    Bytes vdb{static_cast<std::uint8_t>(0x40 | vics.size())};
    vdb.insert(vdb.end(), vics.begin(), vics.end());
    std::vector<Bytes> blocks{vdb, Vcdb(), {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 60}};
    if (channels > 0) {
        blocks.push_back({0x23, static_cast<std::uint8_t>(0x08 | (channels - 1)), 0x07, 0x07});
        blocks.push_back({0x83, 0x01, 0x00, 0x00});
    }
    e.cta(blocks, static_cast<std::uint8_t>((channels > 0 ? 0x40 : 0) | extraFlags));
    return e.fix().bytes;
}

CombineResult Combine(std::vector<CombineSource> sources, CombineOptions options = {}) {
    options.currentYear = kTestYear;
    return CombineEdids(sources, options);
}

bool Dropped(const CombineResult& r, const std::string& what, const std::string& why) {
    return std::any_of(r.dropped.begin(), r.dropped.end(), [&](const CombineDrop& d) {
        return d.what.find(what) != std::string::npos && d.why.find(why) != std::string::npos;
    });
}

// ---- The rules, on hand-made displays ----------------------------------------------------

TEST(EdidCombine, KeepsWhatAllShareAndNamesWhoTookTheRestAway) {
    const Bytes tv1 = Display({16, 97, 4, 95}, 8);
    const Bytes tv2 = Display({16, 4, 3}, 2);
    const CombineResult r = Combine({{"TV-1", tv1}, {"TV-2", tv2}});
    ASSERT_EQ(r.status, CombineStatus::Written) << r.error;
    const Reading out = Read(r.bytes);
    EXPECT_EQ(out.vics, (std::set<int>{16, 4}));
    EXPECT_TRUE(Dropped(r, "VIC 97 3840x2160p60", "not in TV-2"));
    EXPECT_TRUE(Dropped(r, "VIC 3 720x480p59.94", "not in TV-1"));
    const auto it = std::find_if(r.dropped.begin(), r.dropped.end(),
                                 [](const CombineDrop& d) { return d.what.find("VIC 97") == 0; });
    ASSERT_NE(it, r.dropped.end());
    EXPECT_EQ(it->sink, "TV-2");
    // 8-channel L-PCM meets 2-channel: 2 channels.
    ASSERT_EQ(out.sads.size(), 1u);
    EXPECT_EQ(out.sads[0].channels, 2);
    EXPECT_TRUE(out.basicAudio);
    EXPECT_EQ(r.kept.vics.front(), 16) << "the preferred 1080p goes first";
    EXPECT_EQ(r.kept.preferred, "1920x1080p60");
}

TEST(EdidCombine, VideoOnlyDisplayKeepsTheAudioOfTheOthers) {
    const Bytes receiver = Display({16, 4}, 8);
    const Bytes projector = Display({16, 4}, 0);
    CombineResult r = Combine({{"AVR", receiver}, {"Projector", projector}});
    EXPECT_TRUE(Read(r.bytes).sads.empty()) << "a projector without audio removes it";
    r = Combine({{"AVR", receiver}, {"Projector", projector, true}});
    const Reading out = Read(r.bytes);
    ASSERT_EQ(out.sads.size(), 1u);
    EXPECT_EQ(out.sads[0].channels, 8);
    EXPECT_EQ(out.speakers, 0x01);
}

TEST(EdidCombine, IdentityComesFromTheNamedSource) {
    Bytes a = Display({16}, 2);
    Bytes b = Display({16}, 2);
    b[10] = 0x34; // product code
    b[11] = 0x12;
    b[127] = static_cast<std::uint8_t>(b[127] - 0x34 - 0x12 + 0x01); // was 0x0001
    CombineOptions o;
    o.identity = 1;
    const CombineResult r = Combine({{"A", a}, {"B", b}}, o);
    ASSERT_EQ(r.status, CombineStatus::Written);
    EXPECT_EQ(r.bytes[10], 0x34);
    EXPECT_EQ(r.bytes[11], 0x12);
    EXPECT_EQ(Combine({{"A", a}, {"B", b}}).bytes[10], 0x01) << "the first by default";
}

TEST(EdidCombine, RefusesBadInputAndReportsNoCommonTiming) {
    EXPECT_EQ(Combine({}).status, CombineStatus::BadInput);
    EXPECT_EQ(Combine({{"short", Bytes(127, 0)}}).status, CombineStatus::BadInput);
    Bytes noHeader = Display({16}, 2);
    noHeader[1] = 0;
    EXPECT_EQ(Combine({{"x", noHeader}}).status, CombineStatus::BadInput);
    CombineOptions o;
    o.identity = 1;
    EXPECT_EQ(Combine({{"a", Display({16}, 2)}}, o).status, CombineStatus::BadInput);
    for (const std::size_t blocks : {std::size_t{1}, std::size_t{5}}) {
        CombineOptions b;
        b.maxBlocks = blocks;
        EXPECT_EQ(Combine({{"a", Display({16}, 2)}}, b).status, CombineStatus::BadInput) << blocks;
    }
    // A 720p display with nothing else against a 1080p one: no timing in common.
    TestEdid hd;
    hd.put(35, {0, 0, 0});
    hd.put(54, {0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E, 0x28, 0x55, 0x00, 0, 0, 0, 0,
                0, 0x1E});
    TestEdid full;
    full.put(35, {0, 0, 0});
    const CombineResult r = Combine({{"HD", hd.fix().bytes}, {"FHD", full.fix().bytes}});
    EXPECT_EQ(r.status, CombineStatus::NoCommonTiming);
    EXPECT_TRUE(r.bytes.empty());
}

// A detailed timing with the given clock (10 kHz), sizes and blanking, 16x9 mm image.
Bytes Dtd(int clock, int h, int hBlank, int v, int vBlank) {
    return {static_cast<std::uint8_t>(clock & 0xFF),
            static_cast<std::uint8_t>(clock >> 8),
            static_cast<std::uint8_t>(h & 0xFF),
            static_cast<std::uint8_t>(hBlank & 0xFF),
            static_cast<std::uint8_t>(((h >> 8) << 4) | (hBlank >> 8)),
            static_cast<std::uint8_t>(v & 0xFF),
            static_cast<std::uint8_t>(vBlank & 0xFF),
            static_cast<std::uint8_t>(((v >> 8) << 4) | (vBlank >> 8)),
            48,
            32,
            0x35,
            0x00,
            0x58,
            0x54,
            0x21,
            0,
            0,
            0x1E};
}

TEST(EdidCombine, LeavesOutForSpaceAndSaysSo) {
    // 60 VICs (two video blocks), audio and five detailed timings no VIC gives: 256 bytes
    // hold the VICs and four of the timings (the largest first), 384 bytes all.
    Bytes vdb1{0x40 | 30};
    Bytes vdb2{0x40 | 30};
    for (int v = 1; v <= 30; ++v) { // 1-61 but 16: the 1080p timing stays a detailed one
        vdb1.push_back(static_cast<std::uint8_t>(v < 16 ? v : v + 1));
        vdb2.push_back(static_cast<std::uint8_t>(v + 31));
    }
    TestEdid e;
    e.put(90, Dtd(8550, 1366, 426, 768, 30)).put(108, Dtd(10800, 1600, 560, 900, 100));
    e.cta({vdb1, vdb2, Vcdb(), {0x23, 0x0F, 0x7F, 0x07}, {0x83, 0xFF, 0x00, 0x00}}, 0x40,
          {Dtd(24150, 2560, 160, 1440, 41), Dtd(10650, 1440, 464, 900, 34)});
    const Bytes big = e.fix().bytes;
    for (const EdidFinding& f : ParseEdid(big, kTestYear).findings) {
        ADD_FAILURE() << f.id << " " << f.text;
    }
    const CombineResult two = Combine({{"A", big}, {"B", big}});
    ASSERT_EQ(two.status, CombineStatus::Written);
    EXPECT_EQ(two.bytes.size(), 256u);
    const Reading out = Read(two.bytes);
    EXPECT_EQ(out.vics.size(), 60u) << "VICs go before extra timings";
    const std::size_t left = 5 - out.dtds.size();
    EXPECT_GT(left, 0u);
    std::size_t spaceDrops = 0;
    for (const CombineDrop& d : two.dropped) {
        spaceDrops += d.why == "no space in 256 bytes" ? 1 : 0;
    }
    EXPECT_EQ(spaceDrops, left);
    CombineOptions four;
    four.maxBlocks = 4;
    const CombineResult more = Combine({{"A", big}, {"B", big}}, four);
    EXPECT_EQ(more.bytes.size(), 384u) << "no more blocks than needed";
    EXPECT_EQ(Read(more.bytes).dtds.size(), 5u);
    EXPECT_FALSE(ParseEdid(more.bytes, kTestYear).hasFailure());
}

TEST(EdidCombine, IntentTextsReadBack) {
    for (std::size_t i = 0; i < kCombineIntentCount; ++i) {
        const auto intent = static_cast<CombineIntent>(i);
        EXPECT_EQ(ParseIntent(IntentText(intent)), intent) << IntentText(intent);
    }
    EXPECT_EQ(ParseIntent("Max-4K30"), CombineIntent::Max4k30);
    EXPECT_EQ(ParseIntent("no420"), CombineIntent::No420);
    EXPECT_EQ(ParseIntent("8bit"), CombineIntent::Bit8);
    EXPECT_EQ(ParseIntent("audio_5.1"), CombineIntent::Audio51);
    EXPECT_FALSE(ParseIntent("max 8k"));
    EXPECT_FALSE(ParseIntent(""));
    EXPECT_FALSE(ParseIntent(":::"));
}

// ---- The intents on a 4K HDR television --------------------------------------------------

CombineResult WithIntent(CombineIntent i) {
    CombineOptions o;
    o.intents = {i};
    return Combine({{"TV", Corpus(k4kHdr)}}, o);
}

int MaxChannels(const Reading& r) {
    int most = r.basicAudio ? 2 : 0;
    for (const Sad& s : r.sads) {
        most = std::max(most, s.channels);
    }
    return most;
}

int SpeakerChannels(int mask) {
    // FL/FR, LFE, FC, BL/BR, BC, FLC/FRC, RLC/RRC, FLW/FRW, ...: pairs and singles by bit.
    static const int kCount[24] = {2, 1, 1, 2, 1, 2, 2, 2, 2, 1, 1, 2, 1, 1, 2, 2, 1, 2, 2, 2};
    int n = 0;
    for (int bit = 0; bit < 24; ++bit) {
        n += (mask >> bit) & 1 ? kCount[bit] : 0;
    }
    return n;
}

TEST(EdidCombineIntents, TheTelevisionAloneKeepsItsFeatures) {
    const Reading in = Read(Corpus(k4kHdr));
    const CombineResult r = Combine({{"TV", Corpus(k4kHdr)}});
    ASSERT_EQ(r.status, CombineStatus::Written) << r.error;
    const Reading out = Read(r.bytes);
    EXPECT_TRUE(in.vics.count(97) && out.vics.count(97));
    EXPECT_TRUE(out.hdr && out.forum);
    EXPECT_FALSE(out.y420Cap.empty());
    EXPECT_EQ(MaxChannels(out), 8);
}

TEST(EdidCombineIntents, EachTakesAwayWhatItNames) {
    const auto allDtds = [](const Reading& r, auto ok) {
        return std::all_of(r.dtds.begin(), r.dtds.end(), ok);
    };
    Reading out = Read(WithIntent(CombineIntent::Max4k30).bytes);
    EXPECT_FALSE(out.vics.count(97) || out.vics.count(96) || out.y420Only.count(97));
    EXPECT_TRUE(out.vics.count(95)) << "4K30 stays";
    EXPECT_TRUE(allDtds(out, [](const Timing& t) { return t.clock10kHz <= 29850; }));
    EXPECT_TRUE(!out.forum || out.forumTmds == 0);

    out = Read(WithIntent(CombineIntent::Max1080p).bytes);
    for (const int v : out.vics) {
        EXPECT_FALSE((v >= 93 && v <= 107) || v >= 114) << "VIC " << v << " is above 1080p";
    }
    EXPECT_TRUE(out.y420Only.empty() && out.y420Cap.empty());
    EXPECT_TRUE(
        allDtds(out, [](const Timing& t) { return t.hActive <= 1920 && t.vActive <= 1080; }));

    out = Read(WithIntent(CombineIntent::No420).bytes);
    EXPECT_TRUE(out.y420Only.empty() && out.y420Cap.empty());
    EXPECT_EQ(out.forumDc420, 0);

    out = Read(WithIntent(CombineIntent::RgbOnly).bytes);
    EXPECT_EQ(out.ctaFlags & 0x30, 0);
    EXPECT_TRUE(out.y420Only.empty() && out.y420Cap.empty());
    EXPECT_EQ(out.colorimetryBits & ~0x90, 0) << "only opRGB and BT.2020 RGB";
    EXPECT_EQ(out.hdmiCaps & 0x08, 0);

    out = Read(WithIntent(CombineIntent::Bit8).bytes);
    EXPECT_EQ(out.hdmiCaps & 0x78, 0);
    EXPECT_EQ(out.forumDc420, 0);

    EXPECT_FALSE(Read(WithIntent(CombineIntent::NoHdr).bytes).hdr);
}

TEST(EdidCombineIntents, AudioAndLinkLimits) {
    const std::pair<CombineIntent, int> caps[] = {
        {CombineIntent::Audio2ch, 2}, {CombineIntent::Audio51, 6}, {CombineIntent::Audio71, 8}};
    for (const auto& [intent, channels] : caps) {
        const Reading out = Read(WithIntent(intent).bytes);
        EXPECT_EQ(MaxChannels(out), channels) << IntentText(intent);
        EXPECT_LE(SpeakerChannels(out.speakers), channels) << IntentText(intent);
    }
    Reading out = Read(WithIntent(CombineIntent::NoAudio).bytes);
    EXPECT_TRUE(out.sads.empty());
    EXPECT_FALSE(out.basicAudio);
    EXPECT_EQ(out.speakers, -1);

    out = Read(WithIntent(CombineIntent::Hdmi14).bytes);
    EXPECT_FALSE(out.forum);
    EXPECT_TRUE(out.hdmi);
    EXPECT_LE(out.hdmiTmds, 340);
    EXPECT_TRUE(out.y420Only.empty() && out.y420Cap.empty());
    EXPECT_FALSE(out.vics.count(97) || out.vics.count(96));
    EXPECT_TRUE(std::all_of(out.dtds.begin(), out.dtds.end(),
                            [](const Timing& t) { return t.clock10kHz <= 34000; }));
}

// ---- Pairs and triples of the sample set -------------------------------------------------

std::vector<fs::path> CorpusFiles() {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(kCorpus)) {
        if (e.path().extension() == ".bin") {
            files.push_back(e.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Everything the result claims, checked against each input read here; every VIC all inputs
// list is kept or reported.
void CheckCombination(const std::vector<Bytes>& inputs, const std::string& names) {
    std::vector<CombineSource> sources;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        sources.push_back({"S" + std::to_string(i + 1), inputs[i]});
    }
    const CombineResult r = Combine(sources);
    if (r.status == CombineStatus::BadInput) {
        return; // not an EDID (the sample set has a few broken files)
    }
    if (r.status == CombineStatus::NoCommonTiming) {
        EXPECT_TRUE(r.bytes.empty()) << names;
        return;
    }
    ASSERT_TRUE(ChecksumsRight(r.bytes)) << names;
    ASSERT_LE(r.bytes.size(), 256u) << names;
    const EdidParse parsed = ParseEdid(r.bytes, kTestYear);
    std::set<std::string_view> before;
    for (const Bytes& in : inputs) {
        const auto ids = FailureIds(ParseEdid(in, kTestYear));
        before.insert(ids.begin(), ids.end());
    }
    for (const std::string_view id : FailureIds(parsed)) {
        EXPECT_TRUE(before.count(id)) << names << ": new failure " << id;
    }
    const Reading out = Read(r.bytes);
    std::vector<Reading> ins;
    for (const Bytes& in : inputs) {
        ins.push_back(Read(in));
    }
    for (const Reading& in : ins) {
        for (const int v : out.vics) {
            EXPECT_TRUE(in.vics.count(v)) << names << ": VIC " << v;
        }
        for (const int v : out.y420Only) {
            EXPECT_TRUE(in.y420Only.count(v) || in.y420Cap.count(v)) << names << ": 4:2:0 " << v;
        }
        for (const int v : out.y420Cap) {
            EXPECT_TRUE(in.y420Only.count(v) || in.y420Cap.count(v)) << names << ": 4:2:0 " << v;
        }
        for (const Sad& s : out.sads) {
            EXPECT_TRUE(AudioCovered(in, s)) << names << ": audio code " << s.code;
        }
        for (const Timing& t : out.dtds) {
            EXPECT_TRUE(TakesDtd(in, t)) << names << ": DTD " << t.hActive << "x" << t.vActive;
        }
    }
    for (const int v : ins.front().vics) {
        const bool all = std::all_of(ins.begin(), ins.end(),
                                     [&](const Reading& in) { return in.vics.count(v) != 0; });
        const std::string what = "VIC " + std::to_string(v) + " ";
        const bool reported =
            std::any_of(r.dropped.begin(), r.dropped.end(), [&](const CombineDrop& d) {
                return d.what.rfind(what, 0) == 0 && d.why.rfind("not in", 0) != 0;
            });
        if (all && v != 0 && (v < 128 || v > 192)) {
            EXPECT_TRUE(out.vics.count(v) || out.y420Only.count(v) || reported)
                << names << ": VIC " << v << " all list";
        }
    }
}

TEST(EdidCombineCorpus, PairsAndTriplesClaimOnlyWhatEveryInputHas) {
    const std::vector<fs::path> files = CorpusFiles();
    ASSERT_GT(files.size(), 100u);
    const std::size_t n = files.size();
    for (std::size_t i = 0; i < 120; ++i) {
        const std::size_t a = (i * 37) % n;
        const std::size_t b = (i * 101 + 7) % n;
        CheckCombination({ReadFile(files[a]), ReadFile(files[b])},
                         files[a].filename().string() + "+" + files[b].filename().string());
    }
    for (std::size_t i = 0; i < 60; ++i) {
        const std::size_t a = (i * 53 + 3) % n;
        const std::size_t b = (i * 211 + 11) % n;
        const std::size_t c = (i * 17 + 29) % n;
        CheckCombination({ReadFile(files[a]), ReadFile(files[b]), ReadFile(files[c])},
                         files[a].filename().string() + "+" + files[b].filename().string() + "+" +
                             files[c].filename().string());
    }
    // The 4K television with itself and with each of a few others.
    for (std::size_t i = 0; i < 20; ++i) {
        CheckCombination({Corpus(k4kHdr), ReadFile(files[(i * 71) % n])},
                         std::string(k4kHdr) + "+" + files[(i * 71) % n].filename().string());
    }
}

} // namespace
