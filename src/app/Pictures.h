#pragma once

#include <QIcon>
#include <QString>

class QAbstractButton;

namespace lvx {

// The button pictures in the resources ("OpenColor", "OpenGray", ...).
QIcon Picture(const QString& name);

// Gives a button a picture; the name stays on the button as its "picture" property.
void SetPicture(QAbstractButton* button, const QString& name);
QString PictureOf(const QAbstractButton* button);

} // namespace lvx
