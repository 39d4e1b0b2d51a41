#include "protocol/Descriptor.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"

#include <gtest/gtest.h>

using namespace lvx;

namespace {

std::string Answer(const std::string& body) {
    return body + Hex4(Crc16(kCrcInit, body)) + "\n";
}

std::string Fields(const std::vector<std::string>& fields, bool closeLast = true) {
    std::string body;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        body += fields[i];
        if (closeLast || i + 1 < fields.size()) {
            body += '\x0C';
        }
    }
    return body;
}

const std::vector<std::string> kExample = {"V1", "P1", "M1", "D1", "x", "1.0",
                                           "T",  "4",  "2",  "3",  "8", "0"};

} // namespace

TEST(FieldReader, LaterFieldsAreAtLeastOneCharacterAndMustBeClosed) {
    EXPECT_EQ(ReadFields("a\x0C"
                         "b\x0C"),
              (std::vector<std::string>{"a", "b"}));
    // An empty later field swallows the separator that follows it.
    EXPECT_EQ(ReadFields("a\x0C\x0C"
                         "b\x0C"),
              (std::vector<std::string>{"a", "\x0C"
                                             "b"}));
    // An empty first field is allowed.
    EXPECT_EQ(ReadFields("\x0C"
                         "b\x0C"),
              (std::vector<std::string>{"", "b"}));
    // A final field without its separator is not taken.
    EXPECT_EQ(ReadFields("a\x0C"
                         "b"),
              (std::vector<std::string>{"a"}));
    EXPECT_TRUE(ReadFields("no separator").empty());
    EXPECT_TRUE(ReadFields("").empty());
}

TEST(FieldReader, NumbersAndFlags) {
    EXPECT_EQ(FieldNumber("42"), 42);
    EXPECT_EQ(FieldNumber(" 7"), 7);
    EXPECT_EQ(FieldNumber("-1"), -1);
    EXPECT_EQ(FieldNumber(""), 0);
    EXPECT_EQ(FieldNumber("4x"), 0);
    EXPECT_EQ(FieldNumber("0x10"), 0);
    EXPECT_EQ(FieldNumber("99999999999999999999999"), 0);
    EXPECT_TRUE(FieldFlag("T"));
    EXPECT_FALSE(FieldFlag("t"));
    EXPECT_FALSE(FieldFlag("TRUE"));
}

TEST(DeviceDescriptor, ExampleFillsRecordAndLists) {
    DeviceRecord record;
    const EdidSelectionLists lists = ParseDeviceDescriptor(record, Answer(Fields(kExample)));
    EXPECT_EQ(record.vid, "V1");
    EXPECT_EQ(record.pid, "P1");
    EXPECT_EQ(record.model, "M1");
    EXPECT_EQ(record.productString, "D1");
    EXPECT_EQ(record.version, "1.0");
    EXPECT_EQ(record.descriptorFlag7, 1);
    EXPECT_EQ(record.inputCount, 4);
    EXPECT_EQ(record.outputCount, 2);
    EXPECT_EQ(record.userEdidCount, 3);
    EXPECT_EQ(record.internalEdidCount, 8);
    EXPECT_EQ(record.comChannelCount, 0);

    const std::string sep = "----------------";
    EXPECT_EQ(lists.all,
              (std::vector<std::string>{"Input 1",    "Input 2",    "Input 3",    "Input 4",
                                        sep,          "Output 1",   "Output 2",   sep,
                                        "User 1",     "User 2",     "User 3",     sep,
                                        "Internal 1", "Internal 2", "Internal 3", "Internal 4",
                                        "Internal 5", "Internal 6", "Internal 7", "Internal 8"}));
    EXPECT_EQ(lists.upload, (std::vector<std::string>{"Input 1", "Input 2", "Input 3", "Input 4",
                                                      sep, "User 1", "User 2", "User 3"}));
    EXPECT_EQ(lists.input, (std::vector<std::string>{"Input 1", "Input 2", "Input 3", "Input 4"}));
    EXPECT_TRUE(lists.inputVisible);
    EXPECT_EQ(lists.selected, 0);
}

TEST(DeviceDescriptor, EdgeCases) {
    DeviceRecord record;
    std::vector<std::string> fields = kExample;
    fields[11] = "3";
    ParseDeviceDescriptor(record, Answer(Fields(fields)));
    EXPECT_EQ(record.comChannelCount, 3);
    // Without the separator after field 12 the channel count is 0.
    ParseDeviceDescriptor(record, Answer(Fields(fields, false)));
    EXPECT_EQ(record.comChannelCount, 0);

    fields = kExample;
    fields[7] = "1";
    EXPECT_FALSE(ParseDeviceDescriptor(record, Answer(Fields(fields))).inputVisible);

    fields[3] = std::string(70, 'd');
    ParseDeviceDescriptor(record, Answer(Fields(fields)));
    EXPECT_EQ(record.productString, std::string(63, 'd'));

    // Counts wider than a byte keep their low 8 bits; empty or non-decimal counts are 0.
    fields = kExample;
    fields[7] = "300";
    fields[8] = " ";
    fields[9] = "two";
    fields[10] = "-1";
    ParseDeviceDescriptor(record, Answer(Fields(fields)));
    EXPECT_EQ(record.inputCount, 44);
    EXPECT_EQ(record.outputCount, 0);
    EXPECT_EQ(record.userEdidCount, 0);
    EXPECT_EQ(record.internalEdidCount, 255);

    // A truncated descriptor leaves the missing fields empty.
    ParseDeviceDescriptor(record, Answer("V9\x0CP9\x0C"));
    EXPECT_EQ(record.vid, "V9");
    EXPECT_EQ(record.model, "");
    EXPECT_EQ(record.inputCount, 0);
}

TEST(NodeDescriptor, StoresTheSelectedInputOrOutputOnly) {
    DeviceRecord record;
    const std::string answer = Answer(Fields({"1", "2", "3", "T", "T", "F", "T", "T"}));
    record.nodeSelector = 0x0001;
    record.inputNodes[1].edidMode() = 255;
    ASSERT_TRUE(ParseNodeDescriptor(record, answer));
    const NodeEntry& in = record.inputNodes[1];
    EXPECT_EQ(in.bytes[0], 1);
    EXPECT_EQ(in.bytes[1], 2);
    EXPECT_EQ(in.bytes[2], 3);
    EXPECT_TRUE(in.flag4());
    EXPECT_EQ(in.edidMode(), 255); // byte 4 is not a descriptor field
    EXPECT_TRUE(in.modeSelectFlag());
    EXPECT_FALSE(in.flag6());
    EXPECT_TRUE(in.modePollFlag());
    EXPECT_TRUE(in.flag8());

    record.nodeSelector = 0x1000;
    ASSERT_TRUE(ParseNodeDescriptor(record, answer));
    EXPECT_EQ(record.outputNodes[0].bytes[2], 3);

    // User slots, internal EDIDs and node indexes beyond the table are not stored.
    const DeviceRecord before = record;
    for (std::uint32_t selector : {0x2000u, 0x3001u, 0x000Au, 0x1FFFu}) {
        record.nodeSelector = selector;
        EXPECT_FALSE(ParseNodeDescriptor(record, answer)) << selector;
    }
    EXPECT_EQ(record.inputNodes[9].bytes, before.inputNodes[9].bytes);
}
