#pragma once

#include "common/EdidImage.h"
#include "edid/EdidComparison.h"

#include <QObject>
#include <QString>

#include <array>
#include <optional>

namespace lvx {

// "Compare EDIDs" without its window: two EDIDs, A and B, each with the name it is shown
// under, and their comparison once both are there. Files are read as .bin files are read
// (the first 256 bytes, 0xFF for what a short file lacks). The creator's "what will the build
// change?" hands its two images to compare() directly.
class CompareTool : public QObject {
    Q_OBJECT
public:
    enum Side { A = 0, B = 1 };

    explicit CompareTool(QObject* parent = nullptr);

    // Reads a .bin file into one side; false (side unchanged, the reason in `error`) when it
    // cannot be read or is no regular file.
    bool loadFile(Side side, const QString& path, QString* error = nullptr);
    void setImage(Side side, const EdidImage& image, const QString& name);
    // Both sides at once, compared once.
    void compare(const EdidImage& a, const QString& nameA, const EdidImage& b,
                 const QString& nameB);
    void swap();
    void clear();

    const std::optional<EdidImage>& image(Side side) const { return images_[side]; }
    QString name(Side side) const { return names_[side]; }
    // The comparison of A and B; none until both sides hold an EDID.
    const std::optional<EdidComparison>& comparison() const { return comparison_; }

signals:
    // A side or the comparison changed.
    void changed();

private:
    void update();

    std::array<std::optional<EdidImage>, 2> images_;
    std::array<QString, 2> names_;
    std::optional<EdidComparison> comparison_;
};

} // namespace lvx
