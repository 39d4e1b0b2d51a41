#pragma once

#include "common/EdidImage.h"
#include "edid/NodeList.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// The image a .bin file's contents give: bytes 0-255 in order, 0xFF for every byte the file
// is too short to hold, and nothing of a longer file beyond its first 256 bytes.
EdidImage ImageFromFileBytes(const std::uint8_t* data, std::size_t size);
EdidImage ImageFromFileBytes(const std::vector<std::uint8_t>& bytes);

// The name a chosen save name is written under: unchanged when its extension is exactly
// ".bin" (case-sensitive), else the name with ".bin" appended ("tv" -> "tv.bin",
// "tv.BIN" -> "tv.BIN.bin"). The extension is taken from the last path component only
// ("dir.x/file" -> "dir.x/file.bin"), and a leading dot of that component does not start an
// extension (".bin" -> ".bin.bin"). A name with no file component (empty, or ending in '/')
// gives the empty string: there is nothing to save under.
std::string BinSaveName(std::string_view chosen);

// The save dialog's default name for a node: "Input%d EDID", "Output%d EDID", "User%d EDID"
// or "Internal%d EDID" with the node's 1-based number.
std::string DefaultSaveName(NodeRef node);

} // namespace lvx
