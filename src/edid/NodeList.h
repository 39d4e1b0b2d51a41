#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// The four kinds of EDID node a device has.
enum class NodeKind : std::uint8_t { Input, Output, User, Internal };

// One node: its kind and its 0-based number within that kind.
struct NodeRef {
    NodeKind kind = NodeKind::Input;
    std::uint8_t number = 0;

    friend bool operator==(const NodeRef& a, const NodeRef& b) {
        return a.kind == b.kind && a.number == b.number;
    }
    friend bool operator!=(const NodeRef& a, const NodeRef& b) { return !(a == b); }
};

// How many nodes of each kind the device reported.
struct NodeCounts {
    std::uint8_t inputs = 0;
    std::uint8_t outputs = 0;
    std::uint8_t users = 0;
    std::uint8_t internals = 0;
};

// The item text between the groups of both node lists.
inline constexpr std::string_view kNodeSeparator = "----------------";

// The 16-bit selector sent with ND_SEL: the kind in the upper four bits (0x0000 input,
// 0x1000 output, 0x2000 user slot, 0x3000 internal), the number below.
std::uint16_t NodeSelector(NodeRef node);

// The node a selector names; none when the kind bits or the number are out of range.
std::optional<NodeRef> NodeFromSelector(std::uint16_t selector);

// Only inputs and user slots can be written.
bool isWritable(NodeKind kind);

// Group and items of the command datagrams that read or write a node over the network.
struct NodeNetworkItems {
    std::uint8_t group = 0;
    std::uint8_t readItem = 0;
    std::optional<std::uint8_t> writeItem; // none for outputs and internal EDIDs
};
NodeNetworkItems NetworkItems(NodeKind kind);

// Items of the "all nodes" list: "Input %d" for each input, a separator, "Output %d" ...,
// a separator, "User %d" ..., a separator, "Internal %d" ... (numbers from 1).
std::vector<std::string> AllNodeListItems(const NodeCounts& counts);

// Items of the upload target list: "Input %d" ..., a separator, "User %d" ....
std::vector<std::string> UploadListItems(const NodeCounts& counts);

// The node an item index of either list stands for; none for a separator or an index outside
// the list.
std::optional<NodeRef> NodeFromAllListIndex(const NodeCounts& counts, int index);
std::optional<NodeRef> NodeFromUploadListIndex(const NodeCounts& counts, int index);

// The index to select when the user picks `index`: the index itself for a node; for a
// separator the item just before it, or, when that is a separator too, the nearest node
// before it; with no node before it the nearest node after it; -1 when the list has no node.
int AllListSelectionFor(const NodeCounts& counts, int index);
int UploadListSelectionFor(const NodeCounts& counts, int index);

// The list item text of a node ("Input %d", "Output %d", "User %d", "Internal %d").
std::string NodeItemText(NodeRef node);

} // namespace lvx
