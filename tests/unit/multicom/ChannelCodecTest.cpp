// The channel answers, the settings answer, SET COM_CONFIG's payload, log names, the capped
// channel text and how a memo follows it, and the command line's channel printer.
#include "multicom/ChannelAnswers.h"
#include "multicom/ChannelPrinter.h"
#include "multicom/ChannelText.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace lvx;

namespace {

// An answer as the protocol hands it to the handler: CRC digits and line feed included.
std::string Answer(const std::string& body) {
    return body + "ABCD\n";
}

// What each byte of a stream adds to a memo: "\r\n", "\r" and "\n" are one line break each,
// and a line longer than 1024 characters goes on in a new line.
class ShownStream {
public:
    void add(const std::string& bytes) {
        for (char c : bytes) {
            std::string piece;
            if (c == '\r' || (c == '\n' && previous_ != '\r')) {
                piece = "\n";
                column_ = 0;
            } else if (c != '\n') {
                if (column_ == 1024) {
                    piece = "\n";
                    column_ = 0;
                }
                piece += c;
                ++column_;
            }
            perByte_.push_back(piece);
            previous_ = c;
        }
    }
    // The memo of the last `kept` bytes.
    std::string last(std::size_t kept) const {
        std::string out;
        for (std::size_t i = perByte_.size() - kept; i < perByte_.size(); ++i) {
            out += perByte_[i];
        }
        return out;
    }

private:
    std::vector<std::string> perByte_;
    char previous_ = 0;
    std::size_t column_ = 0;
};

// Applies memo changes to a text as the window applies them to its memo.
void Apply(std::string& memo, const MemoChange& change) {
    if (change.reset) {
        memo.clear();
    }
    if (change.insertNote) {
        memo.insert(0, std::string(kDroppedNote));
    }
    memo.erase(kDroppedNote.size() * (memo.rfind(kDroppedNote, 0) == 0 ? 1 : 0),
               change.removeChars);
    memo += change.append;
}

} // namespace

TEST(ChannelAnswer, LetterColonTextUpToTheFormFeed) {
    const std::string helloC = Answer("CHC:hello\x0C");
    const auto three = ParseChannelAnswer(helloC, 3);
    ASSERT_TRUE(three);
    EXPECT_EQ(three->channel, 3);
    EXPECT_EQ(three->text, "hello");
    EXPECT_FALSE(ParseChannelAnswer(helloC, 2)); // beyond the channel count

    const std::string emptyAnswer = Answer("CHA:\x0C");
    const auto empty = ParseChannelAnswer(emptyAnswer, 1);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->channel, 1);
    EXPECT_EQ(empty->text, "");

    // Only the text up to the first form feed; bytes above 0x7F as they are.
    const std::string latinAnswer = Answer("CHB:caf\xE9\r\n\x0Cmore\x0C");
    const auto latin = ParseChannelAnswer(latinAnswer, 2);
    ASSERT_TRUE(latin);
    EXPECT_EQ(latin->text, "caf\xE9\r\n");

    // Not a channel answer, or no channel of this device.
    for (const char* body : {"OK", "CHA-x\x0C", "XHA:x\x0C", "CH@:x\x0C", "cHA:x\x0C", "CHa:x\x0C",
                             "CHH:x\x0C", "CH", "CHA"}) {
        EXPECT_FALSE(ParseChannelAnswer(Answer(body), 7)) << body;
    }
    // A device that counts more than seven channels still has G as its last.
    EXPECT_TRUE(ParseChannelAnswer(Answer("CHG:x\x0C"), 9));
    EXPECT_FALSE(ParseChannelAnswer(Answer("CHH:x\x0C"), 9));
    EXPECT_FALSE(ParseChannelAnswer(Answer("CHA:x\x0C"), 0));
    // Without a form feed the rest is the CRC, not channel text.
    EXPECT_FALSE(ParseChannelAnswer("CHA:hello1234\n", 1));
}

TEST(ChannelSettings, ThreeFieldsOfDigitsPerChannel) {
    const auto two = ParseChannelSettings(Answer("0803\x0C"
                                                 "33\x0C"
                                                 "02\x0C"),
                                          2);
    ASSERT_TRUE(two);
    // Channel A: "115200", "8bits", "None"; channel B: "9600", "8bits", "Even".
    EXPECT_STREQ(kBaudItems[static_cast<std::size_t>((*two)[0].baud)], "115200");
    EXPECT_STREQ(kDataLengthItems[static_cast<std::size_t>((*two)[0].dataLength)], "8bits");
    EXPECT_STREQ(kParityItems[static_cast<std::size_t>((*two)[0].parity)], "None");
    EXPECT_STREQ(kBaudItems[static_cast<std::size_t>((*two)[1].baud)], "9600");
    EXPECT_STREQ(kDataLengthItems[static_cast<std::size_t>((*two)[1].dataLength)], "8bits");
    EXPECT_STREQ(kParityItems[static_cast<std::size_t>((*two)[1].parity)], "Even");
    EXPECT_EQ((*two)[2].baud, -1); // channels beyond the count are not read
}

TEST(ChannelSettings, WhatTheAnswerDoesNotSayStaysUnreported) {
    // Fewer digits than channels: channel C gets no baud rate, B and C no parity.
    const auto few = ParseChannelSettings(Answer("0102\x0C"
                                                 "123\x0C"
                                                 "1\x0C"),
                                          3);
    ASSERT_TRUE(few);
    EXPECT_EQ((*few)[1].baud, 2);
    EXPECT_EQ((*few)[2].baud, -1);
    EXPECT_EQ((*few)[2].dataLength, 3);
    EXPECT_EQ((*few)[0].parity, 1);
    EXPECT_EQ((*few)[1].parity, -1);

    // Values beyond the lists' items report nothing for that list.
    const auto wide = ParseChannelSettings(Answer("0912\x0C"
                                                  "49\x0C"
                                                  "30\x0C"),
                                           2);
    ASSERT_TRUE(wide);
    EXPECT_EQ((*wide)[0].baud, -1);
    EXPECT_EQ((*wide)[1].baud, -1);
    EXPECT_EQ((*wide)[0].dataLength, -1);
    EXPECT_EQ((*wide)[1].dataLength, -1);
    EXPECT_EQ((*wide)[0].parity, -1);
    EXPECT_EQ((*wide)[1].parity, 0);

    // Only the baud field closed: the other lists keep their items.
    const auto first = ParseChannelSettings(Answer("05\x0C"), 1);
    ASSERT_TRUE(first);
    EXPECT_EQ((*first)[0].baud, 5);
    EXPECT_EQ((*first)[0].dataLength, -1);

    // Anything but digits: not a settings answer (a channel answer that arrived late, say).
    EXPECT_FALSE(ParseChannelSettings(Answer("CHA:0505\x0C"
                                             "3\x0C"
                                             "1\x0C"),
                                      3));
    EXPECT_FALSE(ParseChannelSettings(Answer("08 3\x0C"
                                             "3\x0C"
                                             "0\x0C"),
                                      2));
    // OK and an empty answer change nothing.
    const auto ok = ParseChannelSettings("OK1234\n", 7);
    ASSERT_TRUE(ok);
    for (const ReportedSettings& r : *ok) {
        EXPECT_EQ(r.baud, -1);
        EXPECT_EQ(r.parity, -1);
    }
}

TEST(ChannelSettings, PayloadAndItems) {
    // Channel D, baud index 3, data length index 3, parity "Odd".
    EXPECT_EQ(ChannelConfigPayload(4, {3, 3, 1}), (std::vector<std::uint8_t>{3, 3, 3, 1}));
    EXPECT_EQ(ChannelConfigPayload(1, {8, 0, 2}), (std::vector<std::uint8_t>{0, 8, 0, 2}));
    EXPECT_EQ(kBaudItems.size(), 9u);
    EXPECT_STREQ(kBaudItems[2], "7200");
    EXPECT_STREQ(kDataLengthItems[0], "5bits");
    EXPECT_EQ(ChannelLetter(1), 'A');
    EXPECT_EQ(ChannelLetter(7), 'G');
    EXPECT_EQ(ChannelOfLetter('d'), 4);
    EXPECT_EQ(ChannelOfLetter('H'), 0);
    EXPECT_EQ(ChannelOfLetter('@'), 0);
}

TEST(ChannelLog, TxtRuleAndNames) {
    EXPECT_EQ(LogSaveName("trace"), "trace.txt");
    EXPECT_EQ(LogSaveName("trace.TXT"), "trace.TXT.txt");
    EXPECT_EQ(LogSaveName("/home/u/trace.txt"), "/home/u/trace.txt");
    EXPECT_EQ(LogSaveName("/home/u.txt/trace"), "/home/u.txt/trace.txt");
    EXPECT_EQ(LogSaveName("log.txt.bak"), "log.txt.bak.txt");
    EXPECT_EQ(LogSaveName(".txt"), ".txt.txt");
    EXPECT_EQ(LogSaveName("dir/"), "");
    EXPECT_EQ(DefaultLogName(1), "ChannelA Log");
    EXPECT_EQ(DefaultLogName(7), "ChannelG Log");
    EXPECT_EQ(MemoColour(1, false), 0xA0A0A4u);
    EXPECT_EQ(MemoColour(6, false), 0xA0A0A4u);
    EXPECT_EQ(MemoColour(7, false), 0xE0E0E0u);
    EXPECT_EQ(MemoColour(7, true), 0xFFFFFFu);
}

TEST(ChannelTextMemo, LineBreaksAcrossAnswersShowOnce) {
    ChannelText text;
    std::string memo;
    for (const char* piece : {"one\r", "\ntwo\r\n", "three\n", "\rfour\r", "five"}) {
        Apply(memo, text.append(piece));
    }
    EXPECT_EQ(memo, "one\ntwo\nthree\n\nfour\nfive");
    EXPECT_EQ(text.bytes(), "one\r\ntwo\r\nthree\n\rfour\rfive");
    EXPECT_EQ(text.memoText(), memo);
    EXPECT_FALSE(text.dropped());
    // Nothing arrived: nothing changes.
    const MemoChange none = text.append("");
    EXPECT_FALSE(none.reset || none.insertNote || none.removeChars > 0 || !none.append.empty());
}

TEST(ChannelTextMemo, CapDropsTheOldestAndSaysSoOnce) {
    ChannelText text(10);
    std::string memo;
    Apply(memo, text.append("abcdefgh"));
    const MemoChange first = text.append("ijkl");
    EXPECT_TRUE(first.insertNote);
    EXPECT_FALSE(first.reset);
    EXPECT_EQ(first.removeChars, 2u);
    Apply(memo, first);
    EXPECT_EQ(text.bytes(), "cdefghijkl");
    EXPECT_EQ(memo, std::string(kDroppedNote) + "cdefghijkl");

    const MemoChange second = text.append("mn");
    EXPECT_FALSE(second.insertNote); // said once
    Apply(memo, second);
    EXPECT_EQ(memo, std::string(kDroppedNote) + "efghijklmn");

    // More than the cap at once: only its last bytes stay, the memo starts over.
    const MemoChange big = text.append("0123456789ABCDEF");
    EXPECT_TRUE(big.reset);
    Apply(memo, big);
    EXPECT_EQ(text.bytes(), "6789ABCDEF");
    EXPECT_EQ(memo, std::string(kDroppedNote) + "6789ABCDEF");

    // Clear empties the memo and the note goes with it.
    Apply(memo, text.clear());
    EXPECT_EQ(memo, "");
    EXPECT_EQ(text.size(), 0u);
    EXPECT_FALSE(text.dropped());
    Apply(memo, text.append("x"));
    EXPECT_EQ(memo, "x");
}

TEST(ChannelTextMemo, MemoAndKeptBytesAgreeOverAnyStream) {
    // Random pieces, with line breaks often or never, through caps far smaller than the
    // stream: at every step the memo built from the changes is the note and the last bytes
    // as shown.
    std::mt19937 random(12345);
    for (const std::string& alphabet : {std::string("ab\r\n\xE9"), std::string("xyz")}) {
        for (std::size_t cap : {1u, 2u, 7u, 301u, 1500u}) {
            ChannelText text(cap);
            std::string all;
            ShownStream stream;
            std::string memo;
            for (int step = 0; step < 300; ++step) {
                std::string piece(random() % 60, 'x');
                for (char& c : piece) {
                    c = alphabet[random() % alphabet.size()];
                }
                all += piece;
                stream.add(piece);
                Apply(memo, text.append(piece));
                const std::size_t kept = std::min(all.size(), cap);
                ASSERT_EQ(text.bytes(), all.substr(all.size() - kept)) << cap << " " << step;
                const std::string shown =
                    (all.size() > cap ? std::string(kDroppedNote) : "") + stream.last(kept);
                ASSERT_EQ(memo, shown) << "cap " << cap << " step " << step;
                ASSERT_EQ(text.memoText(), shown);
            }
        }
    }
}

TEST(ChannelTextMemo, ALineNeverGrowsPastTheLongestShown) {
    ChannelText text;
    std::string memo;
    Apply(memo, text.append(std::string(1000, 'a')));
    Apply(memo, text.append(std::string(1000, 'b') + "\r\n" + std::string(1024, 'c') + "\n"));
    Apply(memo, text.append(std::string(2049, 'd')));
    const std::string expected = std::string(1000, 'a') + std::string(24, 'b') + "\n" +
                                 std::string(976, 'b') + "\n" + std::string(1024, 'c') + "\n" +
                                 std::string(1024, 'd') + "\n" + std::string(1024, 'd') + "\n" +
                                 "d";
    EXPECT_EQ(memo, expected);
    EXPECT_EQ(text.size(), 1000u + 1000 + 2 + 1024 + 1 + 2049); // the bytes are untouched
}

TEST(ChannelPrinterTest, OneChannelRawSeveralPrefixedByLine) {
    ChannelPrinter raw(false);
    EXPECT_EQ(raw.print(2, "par"), "par");
    EXPECT_EQ(raw.print(2, "tial\r\n\xE9"), "tial\r\n\xE9");
    EXPECT_EQ(raw.finish(), "");

    ChannelPrinter lines(true);
    std::string out;
    out += lines.print(1, "hello\r\nwor");
    out += lines.print(1, "ld\n");
    out += lines.print(2, "par");
    out += lines.print(1, "x"); // B's open line is ended before A speaks
    out += lines.print(2, "tial\n");
    out += lines.print(2, "");
    out += lines.finish();
    EXPECT_EQ(out, "A: hello\r\nA: world\nB: par\nA: x\nB: tial\n");
    EXPECT_EQ(lines.finish(), "");
}
