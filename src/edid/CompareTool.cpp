#include "edid/CompareTool.h"

#include "edid/EdidFileIO.h"

#include <QFileInfo>

#include <utility>

namespace lvx {

CompareTool::CompareTool(QObject* parent) : QObject(parent) {}

bool CompareTool::loadFile(Side side, const QString& path, QString* error) {
    const std::optional<EdidImage> image = ReadEdidFile(path, error);
    if (!image) {
        return false;
    }
    images_[side] = image;
    names_[side] = QFileInfo(path).fileName();
    update();
    return true;
}

void CompareTool::setImage(Side side, const EdidImage& image, const QString& name) {
    images_[side] = image;
    names_[side] = name;
    update();
}

void CompareTool::compare(const EdidImage& a, const QString& nameA, const EdidImage& b,
                          const QString& nameB) {
    images_ = {a, b};
    names_ = {nameA, nameB};
    update();
}

void CompareTool::swap() {
    std::swap(images_[A], images_[B]);
    std::swap(names_[A], names_[B]);
    update();
}

void CompareTool::clear() {
    images_ = {};
    names_ = {};
    update();
}

void CompareTool::update() {
    comparison_.reset();
    if (images_[A] && images_[B]) {
        comparison_ = CompareEdids(*images_[A], *images_[B]);
    }
    emit changed();
}

} // namespace lvx
