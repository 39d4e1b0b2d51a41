#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace lvx::sim {

// What a simulated COM-port device says about itself and how it misbehaves.
struct SerialProfile {
    QString vid = QStringLiteral("1A2B");
    QString pid = QStringLiteral("2037");
    QString model = QStringLiteral("QEM-2");
    QString productString = QStringLiteral("EDID Management");
    QString version = QStringLiteral("1.0");
    bool flag7 = true;
    int inputs = 2;
    int outputs = 1;
    int users = 4;
    int internals = 8;
    int channels = 0;
    // Node descriptor fields 1 to 8 of every input and every output.
    QStringList inputNodeFields = {"1", "0", "0", "T", "T", "F", "T", "F"};
    QStringList outputNodeFields = {"2", "0", "0", "T", "F", "F", "F", "F"};
    // Current EDID mode index per input.
    QMap<int, int> inputModes;
    // EDID per node selector (0x0000 + i inputs, 0x1000 outputs, 0x2000 users, 0x3000
    // internals); nodes without an entry answer with the built-in EDID.
    QMap<std::uint32_t, QByteArray> edids;
    // Text waiting on each channel (1 = A), sent by the next COM_MSG answers.
    QMap<int, QByteArray> channelData;
    // Baud, data length and parity indexes per channel.
    QMap<int, std::array<int, 3>> channelConfig;
    // Text arriving on a channel, in bytes per second: numbered lines of 47 bytes
    // ("A000001 abcdefghijklmnopqrstuvwxyz 0123456789\r\n", then A000002, ...).
    QMap<int, int> channelRate;
    // Channels whose lines arrive faster than any poll takes them: every answer is full.
    QSet<int> channelFlood;
    // The most channel text one COM_MSG answer carries (at most 1014, which fills the
    // program's 1024-byte receive buffer).
    int channelChunk = 200;

    // ISP mode: the marker "$ISP029" or "$ISP091" followed by ispModel; empty for normal mode.
    QString ispMarker;
    QString ispModel = QStringLiteral("QX-AD200");
    // Loader mode: the flashed image is written to this file at FW_END (when set).
    QString flashFile;
    // Loader mode: take no FW_ADDR and no FW_DATA at all (a loader that rejects every frame).
    // Frames of the other loader's shape are always rejected: "$ISP029" takes 2-byte
    // addresses and 64-byte blocks and knows no FW_CHK, "$ISP091" 4-byte addresses and
    // 128-byte blocks.
    bool rejectFrames = false;
    // Loader mode, by page (address / 2048): how many of the page's FW_CHK answers carry a
    // wrong sum (-1: all of them), and pages whose FW_CHK is never answered.
    QMap<int, int> checkWrong;
    QSet<int> checkSilent;

    // Faults, by answer number counted from 1 over every answer the device sends.
    QSet<int> corruptCrc; // answers sent with a wrong CRC
    // Per command number: which of its answers (counted from 1) go out with a wrong CRC.
    QMap<int, QSet<int>> corruptCommand;
    QSet<int> muted; // commands never answered
    // Per command number: which of its answers (counted from 1; 0 stands for every one) are
    // replaced by a well-formed answer of the wrong shape, with a valid CRC: the text given,
    // or "OK" (a short hex text "0102" when the right answer is "OK" itself).
    QMap<int, QSet<int>> wrongCommand;
    QMap<int, QByteArray> wrongText;
    QSet<int> drop;                // answers not sent at all
    int silentAfter = -1;          // no answers after this many (-1: never silent)
    bool silent = false;           // never answers (a port with nothing behind it)
    int splitBytes = 0;            // send answers in pieces of this many bytes (0: whole)
    int splitDelayMs = 15;         // pause between pieces
    int answerDelayMs = 0;         // pause before each answer
    QByteArray floodAfterEntrance; // extra bytes sent right after the ENTRANCE answer

    QString name = QStringLiteral("serial");
};

// Reads a profile from a JSON object (the simulator's config file); unknown keys are ignored.
// Returns false with a message when a value cannot be used.
bool ProfileFromJson(const QJsonObject& json, SerialProfile& profile, QString* error);

// The channel a text names: a letter A to G (either case) or a number 1 to 7; 0 otherwise.
int ChannelFromName(const QString& name);

// The bytes [offset, offset + count) of the numbered lines that stream on a channel.
QByteArray ChannelStreamBytes(int channel, qint64 offset, qint64 count);
constexpr int kChannelLineLength = 47;
constexpr int kChannelChunkMax = 1014;

// Text with C escapes (\r, \n, \t, \f, \\, \xHH) as bytes; each other character is one
// Latin-1 byte.
QByteArray UnescapeText(const QString& text);

// Node selector for a node name such as "input1", "output2", "user3", "internal4" (1-based).
bool NodeSelectorFromName(const QString& name, std::uint32_t& selector);

} // namespace lvx::sim
