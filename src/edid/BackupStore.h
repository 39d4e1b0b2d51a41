#pragma once

#include "edid/BackupManifest.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

class AtomicFileWriter;

// A device backup on disk: a folder with one .bin per node that was read whole and
// manifest.json, which says what the folder holds and the SHA-256 of every file. This unit
// reads and writes that folder; what a restore will do is PlanRestore's decision, made on
// what ReadBackup gives it.

inline constexpr std::string_view kManifestName = "manifest.json";
inline constexpr std::string_view kManifestFormat = "linkvex-device-backup";
// A manifest is a few kilobytes; anything far larger is not one.
inline constexpr qint64 kManifestMaxBytes = 1 << 20;

// The SHA-256 of the bytes: 64 lower-case hex digits.
std::string Sha256Hex(const QByteArray& bytes);

// The manifest as JSON (UTF-8, indented, a line feed at the end).
QByteArray ManifestToJson(const BackupManifest& manifest);

// Reads a manifest written by ManifestToJson. Refuses (false, with the reason) a text that is
// not such a manifest: larger than kManifestMaxBytes, no JSON, another format or a later
// version, missing or mistyped fields, counts outside 0-255, a node the counts do not have or
// listed twice, a file named otherwise than after its node, a digest that is not 64 lower-case
// hex digits, a mode for an input the device does not have or whose index and source disagree.
bool ParseManifest(const QByteArray& text, BackupManifest& out, QString& error);

// What a backup folder holds: its manifest, and every file the manifest lists as read, with
// its SHA-256 (at most one byte past a node's 256 is read, enough to tell a longer file).
struct StoredBackup {
    bool readable = false; // the manifest could be read
    QString error;         // why not
    BackupManifest manifest;
    BackupFiles files;
};
StoredBackup ReadBackup(const QString& directory);

// Whether the folder holds a backup that is complete and intact: its manifest says so and
// every file it lists is there, 256 bytes long, with its recorded SHA-256.
bool HoldsCompleteBackup(const QString& directory);

// Writes a backup into a folder so that it changes all at once or not at all. Each node's
// file is written beside its final name as soon as it is read (stage()); finish() then
// writes the manifest beside its name too, puts the files in place and the manifest last.
// Links in the folder are replaced, never followed. A backup that is incomplete does not
// replace a complete one: finish() then changes nothing. Whatever was staged and not put in
// place is removed when the writer goes.
class BackupWriter {
public:
    enum class Outcome { Saved, KeptEarlier, Failed };

    explicit BackupWriter(const QString& directory);
    ~BackupWriter();
    BackupWriter(const BackupWriter&) = delete;
    BackupWriter& operator=(const BackupWriter&) = delete;

    // Writes the node's file beside its final name and gives its SHA-256; false, with the
    // reason, when it cannot be written.
    bool stage(NodeRef node, const EdidImage& image, std::string& sha256, QString& error);

    // Puts the backup in place: Saved, KeptEarlier (the manifest is incomplete and the folder
    // held a complete backup: nothing changed) or Failed (with the reason; the manifest is
    // put in place only when every file was).
    Outcome finish(const BackupManifest& manifest, QString& error);

private:
    QString directory_;
    std::vector<std::unique_ptr<AtomicFileWriter>> staged_;
};

} // namespace lvx
