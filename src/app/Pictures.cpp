#include "app/Pictures.h"

#include <QAbstractButton>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The pictures live in a static library: register its resources before the first use.
static void InitPictureResources() {
    Q_INIT_RESOURCE(resources);
}

namespace lvx {

QIcon Picture(const QString& name) {
    static const bool registered = (InitPictureResources(), true);
    (void)registered;
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd()) {
        return *found;
    }
    QIcon icon;
    QSvgRenderer renderer(QStringLiteral(":/icons/") + name);
    if (renderer.isValid()) {
        for (int size : {24, 48}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            renderer.render(&painter);
            painter.end();
            icon.addPixmap(pixmap);
        }
    }
    cache.insert(name, icon);
    return icon;
}

void SetPicture(QAbstractButton* button, const QString& name) {
    if (button == nullptr) {
        return;
    }
    button->setIcon(Picture(name));
    button->setProperty("picture", name);
}

QString PictureOf(const QAbstractButton* button) {
    return button ? button->property("picture").toString() : QString();
}

} // namespace lvx
