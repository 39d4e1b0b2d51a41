#include "edid/NodeList.h"

namespace lvx {

namespace {

const char* KindName(NodeKind kind) {
    switch (kind) {
    case NodeKind::Input:
        return "Input";
    case NodeKind::Output:
        return "Output";
    case NodeKind::User:
        return "User";
    case NodeKind::Internal:
        return "Internal";
    }
    return "";
}

// A list is a run of groups with one separator between neighbours.
struct Group {
    NodeKind kind;
    int count;
};

std::vector<Group> AllListGroups(const NodeCounts& c) {
    return {{NodeKind::Input, c.inputs},
            {NodeKind::Output, c.outputs},
            {NodeKind::User, c.users},
            {NodeKind::Internal, c.internals}};
}

std::vector<Group> UploadListGroups(const NodeCounts& c) {
    return {{NodeKind::Input, c.inputs}, {NodeKind::User, c.users}};
}

int ItemCount(const std::vector<Group>& groups) {
    int total = static_cast<int>(groups.size()) - 1; // separators
    for (const Group& g : groups) {
        total += g.count;
    }
    return total;
}

std::optional<NodeRef> NodeAt(const std::vector<Group>& groups, int index) {
    if (index < 0) {
        return std::nullopt;
    }
    int first = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (index < first + groups[g].count) {
            return NodeRef{groups[g].kind, static_cast<std::uint8_t>(index - first)};
        }
        first += groups[g].count;
        if (index == first) {
            return std::nullopt; // the separator after this group (or past the end)
        }
        ++first;
    }
    return std::nullopt;
}

int SelectionFor(const std::vector<Group>& groups, int index) {
    const int count = ItemCount(groups);
    if (index < 0 || index >= count || NodeAt(groups, index)) {
        return index;
    }
    for (int i = index - 1; i >= 0; --i) {
        if (NodeAt(groups, i)) {
            return i;
        }
    }
    for (int i = index + 1; i < count; ++i) {
        if (NodeAt(groups, i)) {
            return i;
        }
    }
    return -1;
}

std::vector<std::string> Items(const std::vector<Group>& groups) {
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(ItemCount(groups)));
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (g != 0) {
            items.emplace_back(kNodeSeparator);
        }
        for (int i = 0; i < groups[g].count; ++i) {
            items.push_back(NodeItemText({groups[g].kind, static_cast<std::uint8_t>(i)}));
        }
    }
    return items;
}

} // namespace

std::uint16_t NodeSelector(NodeRef node) {
    return static_cast<std::uint16_t>((static_cast<unsigned>(node.kind) << 12) | node.number);
}

std::optional<NodeRef> NodeFromSelector(std::uint16_t selector) {
    const unsigned kind = selector >> 12;
    const unsigned number = selector & 0x0FFFu;
    if (kind > static_cast<unsigned>(NodeKind::Internal) || number > 0xFF) {
        return std::nullopt;
    }
    return NodeRef{static_cast<NodeKind>(kind), static_cast<std::uint8_t>(number)};
}

bool isWritable(NodeKind kind) {
    return kind == NodeKind::Input || kind == NodeKind::User;
}

NodeNetworkItems NetworkItems(NodeKind kind) {
    switch (kind) {
    case NodeKind::Input:
        return {2, 7, 6};
    case NodeKind::Output:
        return {3, 4, std::nullopt};
    case NodeKind::User:
        return {9, 2, 1};
    case NodeKind::Internal:
        return {10, 1, std::nullopt};
    }
    return {};
}

std::vector<std::string> AllNodeListItems(const NodeCounts& counts) {
    return Items(AllListGroups(counts));
}

std::vector<std::string> UploadListItems(const NodeCounts& counts) {
    return Items(UploadListGroups(counts));
}

std::optional<NodeRef> NodeFromAllListIndex(const NodeCounts& counts, int index) {
    return NodeAt(AllListGroups(counts), index);
}

std::optional<NodeRef> NodeFromUploadListIndex(const NodeCounts& counts, int index) {
    return NodeAt(UploadListGroups(counts), index);
}

int AllListSelectionFor(const NodeCounts& counts, int index) {
    return SelectionFor(AllListGroups(counts), index);
}

int UploadListSelectionFor(const NodeCounts& counts, int index) {
    return SelectionFor(UploadListGroups(counts), index);
}

std::string NodeItemText(NodeRef node) {
    return std::string(KindName(node.kind)) + " " + std::to_string(node.number + 1);
}

} // namespace lvx
