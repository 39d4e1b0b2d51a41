// What the program answers before a window system is opened.
#include "app/AppOptions.h"

#include <gtest/gtest.h>

using namespace lvx;

namespace {

AppOptions::EarlyAnswer Answer(const QStringList& arguments) {
    return AppOptions::AnswerBeforeStart(QStringList{"linkvex"} + arguments);
}

} // namespace

TEST(AnswerBeforeStart, HelpAndVersionEndTheProgramWithTheirText) {
    for (const char* help : {"--help", "-h", "-help"}) {
        const auto a = Answer({QString::fromLatin1(help)});
        EXPECT_EQ(a.exitCode, 0) << help;
        EXPECT_TRUE(a.out.startsWith("Usage: linkvex [options]\n"));
        EXPECT_TRUE(a.out.contains("--port PATH"));
        EXPECT_TRUE(a.out.endsWith("\n"));
        EXPECT_TRUE(a.err.isEmpty());
    }
    for (const char* version : {"--version", "-v", "-version"}) {
        const auto a = Answer({QString::fromLatin1(version)});
        EXPECT_EQ(a.exitCode, 0);
        EXPECT_EQ(a.out, "linkvex " LVX_VERSION "\n");
    }
    // Among other options, and with Qt's options around them.
    EXPECT_EQ(Answer({"--loopback", "-platform", "xcb", "--version"}).out,
              "linkvex " LVX_VERSION "\n");
}

TEST(AnswerBeforeStart, QtsOwnOptionsDoNotReadAsOurs) {
    // "-stylesheet" holds an h, "-reverse" a v: neither is help or version.
    for (const QStringList& args :
         {QStringList{"-stylesheet", "x.qss"}, QStringList{"-reverse"},
          QStringList{"-platform", "offscreen", "--port", "/dev/ttyUSB0", "--search"},
          QStringList{"--platform", "offscreen"}, QStringList{"-display", ":1"}, QStringList{}}) {
        EXPECT_EQ(Answer(args).exitCode, -1) << args.join(' ').toStdString();
    }
}

TEST(AnswerBeforeStart, AWrongOptionIsAUsageError) {
    const auto unknown = Answer({"--bogus"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.out.isEmpty());
    EXPECT_EQ(unknown.err, "linkvex: Unknown option 'bogus'.\nTry linkvex --help.\n");
    const auto missing = Answer({"--port"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains("--port"));
}

namespace {

QString NoDisplay(const QStringList& arguments, const QHash<QString, QString>& environment,
                  const QStringList& sockets = {}) {
    return AppOptions::NoDisplayReason(QStringList{"linkvex"} + arguments, environment,
                                       [&](const QString& path) { return sockets.contains(path); });
}

} // namespace

TEST(NoDisplayReason, NothingSetIsOneLineThatSaysSo) {
    const QString why = NoDisplay({}, {});
    EXPECT_TRUE(why.startsWith("no display")) << why.toStdString();
    EXPECT_FALSE(why.contains('\n'));
    EXPECT_TRUE(why.contains("DISPLAY"));
}

TEST(NoDisplayReason, AChosenPlatformIsLeftToTheToolkit) {
    EXPECT_EQ(NoDisplay({"-platform", "offscreen"}, {}), QString());
    EXPECT_EQ(NoDisplay({"-platform=offscreen"}, {}), QString());
    EXPECT_EQ(NoDisplay({"-display", "lab-pc:0"}, {}), QString());
    EXPECT_EQ(NoDisplay({}, {{"QT_QPA_PLATFORM", "offscreen"}}), QString());
    // An empty variable chooses nothing.
    EXPECT_NE(NoDisplay({}, {{"QT_QPA_PLATFORM", ""}}), QString());
}

TEST(NoDisplayReason, ALocalXDisplayNeedsItsSocket) {
    const QHash<QString, QString> x{{"DISPLAY", ":1.0"}};
    EXPECT_EQ(NoDisplay({}, x, {"/tmp/.X11-unix/X1"}), QString());
    EXPECT_TRUE(NoDisplay({}, x, {"/tmp/.X11-unix/X0"}).contains(":1.0"));
    EXPECT_EQ(NoDisplay({}, {{"DISPLAY", "unix:0"}}, {"/tmp/.X11-unix/X0"}), QString());
    // Another host's display is not checked here.
    EXPECT_EQ(NoDisplay({}, {{"DISPLAY", "lab-pc:0"}}), QString());
}

TEST(NoDisplayReason, AWaylandDisplayIsASocketInTheRuntimeFolder) {
    const QHash<QString, QString> w{{"WAYLAND_DISPLAY", "wayland-0"},
                                    {"XDG_RUNTIME_DIR", "/run/user/1000"}};
    EXPECT_EQ(NoDisplay({}, w, {"/run/user/1000/wayland-0"}), QString());
    EXPECT_TRUE(NoDisplay({}, w).contains("wayland-0"));
    EXPECT_EQ(NoDisplay({}, {{"WAYLAND_DISPLAY", "/tmp/w"}}, {"/tmp/w"}), QString());
}
