#pragma once

// A hand-made EDID of any number of blocks for the parse's tests: a base block that breaks
// no rule (EDID 1.4, a 1920x1080 preferred timing, a product name, two dummy descriptors),
// to which a test adds extensions and changes bytes.

#include "edid/EdidParse.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace lvx::test {

using Bytes = std::vector<std::uint8_t>;

constexpr int kTestYear = 2025;

// 1920x1080 at 60 Hz, 148.5 MHz, image 600 x 340 mm, digital separate sync.
inline Bytes Dtd1080p(int hImageMm = 600, int vImageMm = 340) {
    return {0x02,
            0x3A,
            0x80,
            0x18,
            0x71,
            0x38,
            0x2D,
            0x40,
            0x58,
            0x2C,
            0x45,
            0x00,
            static_cast<std::uint8_t>(hImageMm & 0xFF),
            static_cast<std::uint8_t>(vImageMm & 0xFF),
            static_cast<std::uint8_t>(((hImageMm >> 8) << 4) | (vImageMm >> 8)),
            0x00,
            0x00,
            0x1E};
}

struct TestEdid {
    Bytes bytes;

    TestEdid() {
        bytes.assign(128, 0);
        put(0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
        put(8, {0x32, 0xD8, 0x01, 0x00, 0, 0, 0, 0, 1, 30, 1, 4}); // "LVX", week 1 of 2020
        put(20, {0xA5, 60, 34, 120, 0x02});                        // digital 8 bit DP, 60x34 cm
        bytes[35] = 0x20;                                          // 640x480 at 60 Hz
        for (std::size_t i = 38; i < 54; ++i) {
            bytes[i] = 0x01;
        }
        put(54, Dtd1080p());
        put(72,
            {0, 0, 0, 0xFC, 0, 'L', 'I', 'N', 'K', 'V', 'E', 'X', 0x0A, ' ', ' ', ' ', ' ', ' '});
        put(90, {0, 0, 0, 0x10});
        put(108, {0, 0, 0, 0x10});
    }

    TestEdid& put(std::size_t offset, const Bytes& values) {
        if (bytes.size() < offset + values.size()) {
            bytes.resize(offset + values.size(), 0);
        }
        std::copy(values.begin(), values.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(offset));
        return *this;
    }

    // Appends a CTA-861 revision 3 block holding the data blocks one after another from byte
    // 4, then the detailed timings; byte 126 counts the blocks.
    TestEdid& cta(const std::vector<Bytes>& blocks, std::uint8_t flags = 0x00,
                  const std::vector<Bytes>& timings = {}) {
        const std::size_t start = bytes.size();
        bytes.resize(start + 128, 0);
        std::size_t at = start + 4;
        for (const Bytes& b : blocks) {
            put(at, b);
            at += b.size();
        }
        put(start, {0x02, 0x03, static_cast<std::uint8_t>(at - start), flags});
        for (const Bytes& t : timings) {
            put(at, t);
            at += t.size();
        }
        bytes[126] = static_cast<std::uint8_t>(bytes.size() / 128 - 1);
        return *this;
    }

    // Sets every block's checksum.
    TestEdid& fix() {
        for (std::size_t b = 0; b + 128 <= bytes.size(); b += 128) {
            unsigned sum = 0;
            for (std::size_t i = b; i < b + 127; ++i) {
                sum += bytes[i];
            }
            bytes[b + 127] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
        }
        return *this;
    }

    EdidParse parse(int year = kTestYear) {
        fix();
        return ParseEdid(bytes, year);
    }
};

// The findings of a kind.
inline std::vector<const EdidFinding*> Findings(const EdidParse& p, std::string_view id) {
    std::vector<const EdidFinding*> out;
    for (const EdidFinding& f : p.findings) {
        if (f.id == id) {
            out.push_back(&f);
        }
    }
    return out;
}

inline bool Has(const EdidParse& p, std::string_view id) {
    return !Findings(p, id).empty();
}

// A video capability block that declares RGB quantization selectable and nothing else.
inline Bytes Vcdb(std::uint8_t value = 0x40) {
    return {0xE2, 0x00, value};
}

} // namespace lvx::test
