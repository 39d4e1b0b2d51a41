#include "edid/NodeList.h"
#include "protocol/Descriptor.h"

#include <gtest/gtest.h>

#include <set>

using namespace lvx;

namespace {

const NodeCounts kExample{2, 1, 4, 8};

std::uint16_t SelectorAt(const NodeCounts& c, int index) {
    return NodeSelector(NodeFromAllListIndex(c, index).value());
}

// The all-nodes mapping as the list's layout gives it, index by index.
std::optional<NodeRef> ExpectedNode(const NodeCounts& c, int k) {
    const int in = c.inputs, out = c.outputs, user = c.users, all = in + out + user + c.internals;
    if (k >= 0 && k < in) {
        return NodeRef{NodeKind::Input, std::uint8_t(k)};
    }
    if (in < k && k < in + out + 1) {
        return NodeRef{NodeKind::Output, std::uint8_t(k - in - 1)};
    }
    if (in + out + 1 < k && k < in + out + user + 2) {
        return NodeRef{NodeKind::User, std::uint8_t(k - in - out - 2)};
    }
    if (in + out + user + 2 < k && k < all + 3) {
        return NodeRef{NodeKind::Internal, std::uint8_t(k - in - out - user - 3)};
    }
    return std::nullopt;
}

} // namespace

TEST(edidNodeList, ExampleDevice) {
    const std::vector<std::string> items = AllNodeListItems(kExample);
    ASSERT_EQ(items.size(), 18u);
    EXPECT_EQ(items[3], "Output 1");
    EXPECT_EQ(items[9], "----------------");
    EXPECT_EQ(items[17], "Internal 8");
    EXPECT_EQ(SelectorAt(kExample, 1), 0x0001);
    EXPECT_EQ(SelectorAt(kExample, 3), 0x1000);
    EXPECT_EQ(SelectorAt(kExample, 5), 0x2000);
    EXPECT_EQ(SelectorAt(kExample, 10), 0x3000);
    EXPECT_EQ(SelectorAt(kExample, 17), 0x3007);
    for (int none : {-1, 2, 4, 9, 18}) {
        EXPECT_FALSE(NodeFromAllListIndex(kExample, none)) << none;
    }
    EXPECT_EQ(UploadListItems(kExample),
              (std::vector<std::string>{"Input 1", "Input 2", "----------------", "User 1",
                                        "User 2", "User 3", "User 4"}));
    EXPECT_EQ(NodeFromUploadListIndex(kExample, 3), (NodeRef{NodeKind::User, 0}));
    EXPECT_FALSE(NodeFromUploadListIndex(kExample, 2));
    EXPECT_FALSE(NodeFromUploadListIndex(kExample, 7));
}

// For counts from 0 to 255 every index maps as the layout says, the item texts agree with
// the nodes, and every node is reached exactly once.
TEST(edidNodeList, MappingHoldsForAnyCounts) {
    const std::uint8_t values[] = {0, 1, 2, 255};
    for (std::uint8_t in : values) {
        for (std::uint8_t out : values) {
            for (std::uint8_t user : values) {
                for (std::uint8_t internal : values) {
                    const NodeCounts c{in, out, user, internal};
                    const std::vector<std::string> items = AllNodeListItems(c);
                    ASSERT_EQ(items.size(), std::size_t(in + out + user + internal + 3));
                    std::set<std::uint16_t> selectors;
                    for (int k = -1; k <= int(items.size()); ++k) {
                        const auto node = NodeFromAllListIndex(c, k);
                        ASSERT_EQ(node, ExpectedNode(c, k)) << k;
                        if (k >= 0 && k < int(items.size())) {
                            ASSERT_EQ(items[k],
                                      node ? NodeItemText(*node) : std::string(kNodeSeparator));
                            ASSERT_TRUE(!node || selectors.insert(NodeSelector(*node)).second);
                        }
                    }
                    ASSERT_EQ(selectors.size(), std::size_t(in + out + user + internal));

                    const std::vector<std::string> upload = UploadListItems(c);
                    ASSERT_EQ(upload.size(), std::size_t(in + user + 1));
                    for (int k = 0; k <= int(upload.size()); ++k) {
                        const auto node = NodeFromUploadListIndex(c, k);
                        const bool isUser = k > in && k < int(upload.size());
                        ASSERT_EQ(node,
                                  k < in ? std::optional(NodeRef{NodeKind::Input, std::uint8_t(k)})
                                  : isUser ? std::optional(
                                                 NodeRef{NodeKind::User, std::uint8_t(k - in - 1)})
                                           : std::nullopt);
                    }
                }
            }
        }
    }
}

TEST(edidNodeList, ChoosingASeparatorSelectsANode) {
    EXPECT_EQ(AllListSelectionFor(kExample, 2), 1);
    EXPECT_EQ(AllListSelectionFor(kExample, 9), 8);
    EXPECT_EQ(AllListSelectionFor(kExample, 5), 5);
    EXPECT_EQ(UploadListSelectionFor(kExample, 2), 1);
    // No outputs: of two separators in a row, the second also leads back to the input.
    EXPECT_EQ(AllListSelectionFor({1, 0, 1, 1}, 2), 0);
    // Nothing before a leading separator: the first node after it.
    EXPECT_EQ(AllListSelectionFor({0, 1, 0, 0}, 0), 1);
    EXPECT_EQ(UploadListSelectionFor({0, 0, 3, 0}, 0), 1);
    EXPECT_EQ(AllListSelectionFor({}, 1), -1);
}

TEST(edidNodeList, SelectorsAndNetworkItems) {
    EXPECT_EQ(NodeSelector({NodeKind::Internal, 255}), 0x30FF);
    EXPECT_EQ(NodeFromSelector(0x2001), (NodeRef{NodeKind::User, 1}));
    EXPECT_FALSE(NodeFromSelector(0x4000));
    EXPECT_FALSE(NodeFromSelector(0x0100));
    EXPECT_EQ(NetworkItems(NodeKind::User).writeItem, 1);
    EXPECT_FALSE(NetworkItems(NodeKind::Output).writeItem);
    EXPECT_FALSE(isWritable(NodeKind::Internal));
}

// The lists the device descriptor fills and the lists the flows map back to nodes must
// stay the same lists.
TEST(edidNodeList, AgreesWithTheListsTheDescriptorFills) {
    for (int in : {0, 1, 2, 9}) {
        for (int out : {0, 1, 3}) {
            for (int user : {0, 4}) {
                for (int internal : {0, 8}) {
                    const lvx::NodeCounts c{
                        static_cast<std::uint8_t>(in), static_cast<std::uint8_t>(out),
                        static_cast<std::uint8_t>(user), static_cast<std::uint8_t>(internal)};
                    const lvx::EdidSelectionLists lists =
                        lvx::BuildEdidSelectionLists(in, out, user, internal);
                    EXPECT_EQ(lvx::AllNodeListItems(c), lists.all);
                    EXPECT_EQ(lvx::UploadListItems(c), lists.upload);
                }
            }
        }
    }
}
