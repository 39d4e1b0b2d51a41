#pragma once

// Helpers shared by the fuzz targets: reading a fuzz input field by field, and checks that
// stop the run the way a sanitizer does.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace lvx::fuzz {

// Reads an input front to back. Past its end every read gives zeros or nothing, so a
// target never has to check what is left before reading.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::size_t left() const { return size_ - at_; }

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t u16() {
        const std::uint16_t high = byte();
        return static_cast<std::uint16_t>(high << 8 | byte());
    }
    // Up to count bytes (fewer at the end of the input).
    std::vector<std::uint8_t> bytes(std::size_t count) {
        const std::size_t n = std::min(count, left());
        std::vector<std::uint8_t> out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }
    std::string text(std::size_t count) {
        const std::vector<std::uint8_t> raw = bytes(count);
        return std::string(raw.begin(), raw.end());
    }
    std::vector<std::uint8_t> rest() { return bytes(left()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

[[noreturn]] inline void CheckFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

} // namespace lvx::fuzz

// A property that must hold for every input; a violation is reported like a crash.
#define LVX_FUZZ_CHECK(condition)                                                                  \
    ((condition) ? static_cast<void>(0) : ::lvx::fuzz::CheckFailed(#condition, __FILE__, __LINE__))
