#pragma once

#include <QDir>
#include <QString>
#include <QWidget>

namespace lvx::test {

// A picture of a widget for a person to look at, when LVX_SCREENSHOT_DIR names a folder;
// nothing otherwise.
inline void SaveShot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("LVX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        widget->grab().save(QDir(dir).filePath(name));
    }
}

} // namespace lvx::test
