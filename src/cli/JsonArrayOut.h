#pragma once

#include <QJsonObject>

namespace lvx::cli {

// Writes a JSON array on standard output one element at a time, each made by QJsonDocument:
// the output starts with the first file, and memory holds one file's object at a time.
class JsonArrayOut {
public:
    // Opens the array when `enabled` (--json); otherwise nothing is written.
    explicit JsonArrayOut(bool enabled);
    bool enabled() const { return enabled_; }

    void add(const QJsonObject& object);
    // Closes the array (when enabled) and flushes standard output.
    void close();

private:
    bool enabled_;
    int count_ = 0;
};

} // namespace lvx::cli
