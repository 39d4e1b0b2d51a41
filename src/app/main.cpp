// linkvex: the desktop program.
#include "app/AppOptions.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Linkvex"));
    QApplication::setApplicationDisplayName(QStringLiteral("Linkvex"));
    QApplication::setApplicationVersion(QStringLiteral("1.0L"));

    lvx::AppOptions options;
    QString error;
    if (!lvx::AppOptions::Parse(QApplication::arguments(), options, &error)) {
        std::fprintf(stderr, "linkvex: %s\n", qPrintable(error));
        return 2;
    }

    try {
        // A second copy brings the running one forward and ends without a window.
        lvx::SingleInstance instance(QStringLiteral("Linkvex"));
        if (!instance.claim()) {
            return 0;
        }
        if (!instance.error().isEmpty()) {
            std::fprintf(stderr, "linkvex: %s\n", qPrintable(instance.error()));
        }
        lvx::MainWindow window(options);
        instance.setWindow(&window);
        if (!window.start()) {
            return 1;
        }
        window.show();
        if (options.search) {
            QMetaObject::invokeMethod(&window, &lvx::MainWindow::search, Qt::QueuedConnection);
        }
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Linkvex"), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
