// The backup folder on disk: the manifest's JSON both ways, the files' digests, and folders
// written by an earlier release, which must keep reading and restoring.

#include "edid/BackupStore.h"

#include "EdidTestImages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace lvx;
using namespace lvx::test;

namespace {

const QString kFolders = QStringLiteral(LVX_SOURCE_DIR "/tests/data/backup/");

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The device the committed folders were read from: 2 inputs, 1 output, 4 user slots and 8
// internal EDIDs.
BackupDevice FolderDevice() {
    BackupDevice d;
    d.link = "serial";
    d.model = "UHD+EDID Manager";
    d.vid = "1A2B";
    d.pid = "2037";
    d.productString = "UHD+EDID Manager";
    d.version = "1.0";
    d.counts = {2, 1, 4, 8};
    return d;
}

// A whole backup of FolderDevice(): every node an image of its own, both modes read.
BackupManifest WholeManifest() {
    BackupManifest m;
    m.date = "2024-05-01T10:00:00Z";
    m.program = "Linkvex 1.0L";
    m.device = FolderDevice();
    for (const NodeRef node : AllNodes(m.device.counts)) {
        BackupEntry entry;
        entry.node = node;
        entry.ok = true;
        entry.sha256 = std::string(64, "0123456789abcdef"[node.number % 16]);
        m.nodes.push_back(entry);
    }
    m.modes = {{0, true, 8, "external1", ""}, {1, true, 10, "user2", ""}};
    return m;
}

std::vector<std::string> StepTexts(const RestorePlan& plan) {
    std::vector<std::string> texts;
    for (const RestoreStep& s : plan.steps) {
        texts.push_back(s.text);
    }
    return texts;
}

// Copies a committed folder, so that a test may write into it.
QString CopyOf(const QString& name, const QTemporaryDir& into) {
    const QString target = into.filePath(name);
    QDir().mkpath(target);
    for (const QString& file : QDir(kFolders + name).entryList(QDir::Files)) {
        QFile::copy(kFolders + name + "/" + file, target + "/" + file);
    }
    return target;
}

} // namespace

TEST(BackupStore, DigestsAreLowerCaseSha256) {
    // FIPS 180-2 test vectors.
    EXPECT_EQ(Sha256Hex(QByteArray()),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(BackupStore, WrittenManifestReadsBack) {
    BackupManifest m = WholeManifest();
    m.nodes[2].ok = false; // output1
    m.nodes[2].sha256.clear();
    m.nodes[2].error = "no answer";
    m.device.productString = "Quote \" and caf\xC3\xA9";
    const QByteArray json = ManifestToJson(m);

    BackupManifest back;
    QString error;
    ASSERT_TRUE(ParseManifest(json, back, error)) << error.toStdString() << "\n"
                                                  << json.toStdString();
    EXPECT_EQ(back.date, m.date);
    EXPECT_EQ(back.device.productString, m.device.productString);
    EXPECT_EQ(back.device.counts.users, 4);
    ASSERT_EQ(back.nodes.size(), 15u);
    EXPECT_FALSE(back.nodes[2].ok);
    EXPECT_EQ(back.nodes[2].error, "no answer");
    EXPECT_EQ(back.nodes[5].sha256, m.nodes[5].sha256);
    ASSERT_EQ(back.modes.size(), 2u);
    EXPECT_EQ(back.modes[1].mode, 10);
    EXPECT_EQ(back.modes[1].source, "user2");
    EXPECT_FALSE(back.complete());
    // The JSON says so too, for a reader that does not check every entry.
    EXPECT_TRUE(json.contains("\"complete\": false"));
    EXPECT_TRUE(json.contains("\"file\": \"user4.bin\""));
}

TEST(BackupStore, ManifestsThatAreRefused) {
    const BackupManifest whole = WholeManifest();
    const std::string good = ManifestToJson(whole).toStdString();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::string digest = whole.nodes[0].sha256;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"not JSON", "{\"format\":"},
        {"no object", "[]"},
        {"another format", replaced("linkvex-device-backup", "something-else")},
        {"a later version", replaced("\"version\": 1", "\"version\": 2")},
        {"counts beyond a byte", replaced("\"users\": 4", "\"users\": 300")},
        {"a count at 256", replaced("\"users\": 4", "\"users\": 256")},
        {"a fractional count", replaced("\"users\": 4", "\"users\": 4.5")},
        {"a node beyond the counts", replaced("\"node\": \"user4\"", "\"node\": \"user5\"")},
        {"a file outside the folder",
         replaced("\"file\": \"user4.bin\"", "\"file\": \"../user4.bin\"")},
        {"a file of another node", replaced("\"file\": \"user4.bin\"", "\"file\": \"user3.bin\"")},
        {"a node twice", replaced("\"node\": \"user4\"", "\"node\": \"user3\"")},
        {"a short digest", replaced(digest, digest.substr(1))},
        {"an upper-case digest", replaced(digest, std::string(64, 'A'))},
        {"an unknown status", replaced("\"status\": \"ok\"", "\"status\": \"fine\"")},
        {"a mode of a missing input", replaced("\"input\": 2", "\"input\": 3")},
        {"a mode that is not its source",
         replaced("\"source\": \"user2\"", "\"source\": \"user3\"")},
        {"an unknown link", replaced("\"link\": \"serial\"", "\"link\": \"usb\"")},
        {"a text where a number goes", replaced("\"inputs\": 2", "\"inputs\": \"2\"")},
        {"too large", good + std::string(static_cast<std::size_t>(kManifestMaxBytes), ' ')},
    };
    for (const auto& [what, text] : cases) {
        BackupManifest m;
        QString error;
        EXPECT_FALSE(ParseManifest(QByteArray::fromStdString(text), m, error)) << what;
        EXPECT_FALSE(error.isEmpty()) << what;
    }
    // 255 is the largest count a device reports.
    BackupManifest m;
    QString error;
    EXPECT_TRUE(ParseManifest(QByteArray::fromStdString(replaced("\"users\": 4", "\"users\": 255")),
                              m, error))
        << error.toStdString();
}

// Folders exactly as an earlier release wrote them (its own JSON writer and SHA-256): they
// read, check out intact and restore as they did then.
TEST(BackupStore, FoldersOfAnEarlierReleaseReadAndPlan) {
    const StoredBackup complete = ReadBackup(kFolders + "serial-complete");
    ASSERT_TRUE(complete.readable) << complete.error.toStdString();
    EXPECT_TRUE(complete.manifest.complete());
    EXPECT_EQ(complete.manifest.device.model, "UHD+EDID Manager");
    ASSERT_EQ(complete.files.size(), 15u);
    EXPECT_TRUE(HoldsCompleteBackup(kFolders + "serial-complete"));
    BackupDevice another = FolderDevice();
    another.serialNumber = "another unit";
    const RestorePlan plan = PlanRestore(complete.manifest, another, complete.files);
    EXPECT_TRUE(plan.errors.empty()) << plan.errors.front();
    EXPECT_TRUE(plan.mismatches.empty());
    EXPECT_EQ(StepTexts(plan),
              (std::vector<std::string>{"write user1.bin to user1", "write user2.bin to user2",
                                        "write user3.bin to user3", "write user4.bin to user4",
                                        "write input1.bin to input1", "write input2.bin to input2",
                                        "set the mode of input1 to external1",
                                        "set the mode of input2 to user2"}));
    // input1 holds a corpus EDID, byte for byte.
    const QByteArray sample = FileBytes(QStringLiteral(LVX_CORPUS_DIR "/002959BBD30B.bin"));
    ASSERT_EQ(sample.size(), 256);
    EXPECT_TRUE(std::equal(plan.steps[4].image.begin(), plan.steps[4].image.end(),
                           reinterpret_cast<const std::uint8_t*>(sample.constData())));
    EXPECT_EQ(plan.steps[7].mode, 10);

    // Six nodes read, the rest and both modes not: restorable only when forced.
    const StoredBackup partial = ReadBackup(kFolders + "serial-partial");
    ASSERT_TRUE(partial.readable) << partial.error.toStdString();
    EXPECT_FALSE(partial.manifest.complete());
    EXPECT_FALSE(HoldsCompleteBackup(kFolders + "serial-partial"));
    const RestorePlan forced = PlanRestore(partial.manifest, FolderDevice(), partial.files);
    EXPECT_TRUE(forced.errors.empty());
    EXPECT_EQ(forced.mismatches.size(), 3u); // user4 and the two modes
    EXPECT_FALSE(forced.usable(false));
    EXPECT_TRUE(forced.usable(true));
    EXPECT_EQ(StepTexts(forced),
              (std::vector<std::string>{"write user1.bin to user1", "write user2.bin to user2",
                                        "write user3.bin to user3", "write input1.bin to input1",
                                        "write input2.bin to input2"}));
}

// Written again, a folder of an earlier release keeps its bytes and digests; a partial
// backup then does not replace it, and a damaged file makes it no complete backup.
TEST(BackupStore, WriterKeepsDigestsAndACompleteFolder) {
    QTemporaryDir dir;
    const StoredBackup earlier = ReadBackup(kFolders + "serial-complete");
    ASSERT_TRUE(earlier.readable);

    const QString folder = dir.filePath("again");
    ASSERT_TRUE(QDir().mkpath(folder));
    {
        BackupWriter writer(folder);
        BackupManifest m = earlier.manifest;
        for (BackupEntry& entry : m.nodes) {
            const BackupFile& file = *earlier.files.at(NodeFileName(entry.node));
            EdidImage image{};
            std::copy(file.bytes.begin(), file.bytes.end(), image.begin());
            std::string sha;
            QString error;
            ASSERT_TRUE(writer.stage(entry.node, image, sha, error)) << error.toStdString();
            EXPECT_EQ(sha, entry.sha256) << NodeName(entry.node);
            entry.sha256 = sha;
        }
        QString error;
        EXPECT_EQ(writer.finish(m, error), BackupWriter::Outcome::Saved) << error.toStdString();
    }
    const StoredBackup again = ReadBackup(folder);
    ASSERT_TRUE(again.readable) << again.error.toStdString();
    EXPECT_EQ(ManifestToJson(again.manifest), ManifestToJson(earlier.manifest));
    EXPECT_EQ(FileBytes(folder + "/user2.bin"), FileBytes(kFolders + "serial-complete/user2.bin"));

    // An incomplete refresh leaves the complete folder as it was, staged files included.
    const QString copy = CopyOf(QStringLiteral("serial-complete"), dir);
    const QByteArray manifestBefore = FileBytes(copy + "/manifest.json");
    {
        BackupWriter writer(copy);
        BackupManifest refresh = earlier.manifest;
        refresh.nodes[3].ok = false; // user1
        std::string sha;
        QString error;
        ASSERT_TRUE(writer.stage({NodeKind::Input, 0}, Image(0), sha, error));
        EXPECT_EQ(writer.finish(refresh, error), BackupWriter::Outcome::KeptEarlier);
    }
    EXPECT_EQ(FileBytes(copy + "/manifest.json"), manifestBefore);
    EXPECT_EQ(FileBytes(copy + "/input1.bin"), FileBytes(kFolders + "serial-complete/input1.bin"));
    EXPECT_EQ(QDir(copy).entryList(QDir::Files).size(), 16);

    // One byte changed: the folder no longer holds a complete backup.
    QByteArray user3 = FileBytes(copy + "/user3.bin");
    user3[20] = static_cast<char>(user3[20] ^ 0x01);
    QFile file(copy + "/user3.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(user3);
    file.close();
    EXPECT_FALSE(HoldsCompleteBackup(copy));
    const StoredBackup damaged = ReadBackup(copy);
    const RestorePlan plan = PlanRestore(damaged.manifest, FolderDevice(), damaged.files);
    ASSERT_EQ(plan.errors.size(), 1u);
    EXPECT_EQ(plan.errors[0], "user3.bin has changed since the backup (SHA-256 differs)");
}
