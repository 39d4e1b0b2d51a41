// linkvex: the desktop program.
#include "app/AppOptions.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "common/Version.h"

#include <QApplication>
#include <QFileInfo>
#include <QHash>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace {

// What is answered before the toolkit starts: --help, --version, a wrong option, and a
// missing display (the toolkit would abort with a core dump). The exit status, or -1 when the
// program goes on.
int AnswerBeforeStart(int argc, char** argv) {
    // --help, --version and a wrong option are answered before a display is needed.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const lvx::AppOptions::EarlyAnswer answer = lvx::AppOptions::AnswerBeforeStart(arguments);
    if (answer.exitCode >= 0) {
        std::fputs(answer.out.toLocal8Bit().constData(), stdout);
        std::fputs(answer.err.toLocal8Bit().constData(), stderr);
        return answer.exitCode;
    }
    // Without a display the toolkit would abort with a core dump: say so and end.
    QHash<QString, QString> environment;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "QT_QPA_PLATFORM"}) {
        environment.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    }
    const QString noDisplay = lvx::AppOptions::NoDisplayReason(
        arguments, environment, [](const QString& path) { return QFileInfo::exists(path); });
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr, "linkvex: %s\n", noDisplay.toLocal8Bit().constData());
        return 1;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (const int early = AnswerBeforeStart(argc, argv); early >= 0) {
        return early;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Linkvex"));
    QApplication::setApplicationDisplayName(QStringLiteral("Linkvex"));
    QApplication::setApplicationVersion(QString::fromLatin1(lvx::kVersion));
    // The desktop entry's name: the window manager matches the windows to the menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.linkvex.Linkvex"));

    lvx::AppOptions options;
    QString error;
    if (!lvx::AppOptions::Parse(QApplication::arguments(), options, &error)) {
        std::fprintf(stderr, "linkvex: %s\nTry linkvex --help.\n", qPrintable(error));
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
        if (qEnvironmentVariableIsSet("LINKVEX_STARTUP_PROBE")) {
            // For the start-up benchmark: one line once the window is shown and the event
            // loop runs.
            QTimer::singleShot(0, [] {
                std::fprintf(stdout, "shown\n");
                std::fflush(stdout);
            });
        }
        if (options.search) {
            QMetaObject::invokeMethod(&window, &lvx::MainWindow::search, Qt::QueuedConnection);
        }
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Linkvex"), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
