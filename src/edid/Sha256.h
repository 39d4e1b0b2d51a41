#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lvx {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 of a byte string, the digest that a backup's manifest records for every file.
Sha256Digest Sha256(const std::uint8_t* data, std::size_t size);

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::uint8_t* data, std::size_t size);

} // namespace lvx
