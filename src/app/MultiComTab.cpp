#include "app/MultiComTab.h"

#include "app/Widgets.h"

#include <QPlainTextEdit>

namespace lvx {

namespace {
struct ChannelPlace {
    const char* group;
    int left;
    int top;
};
constexpr ChannelPlace kChannels[7] = {
    {"GroupBox2", 5, 185},    {"GroupBox8", 5, 366},    {"GroupBox14", 5, 547},
    {"GroupBox16", 575, 4},   {"GroupBox17", 575, 185}, {"GroupBox18", 575, 366},
    {"GroupBox19", 575, 547},
};
} // namespace

MultiComTab::MultiComTab(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet13"));
    auto* main = MakeGroup(this, QStringLiteral("GroupBox15"), QStringLiteral("  Main  "));
    main->setGeometry(5, 4, 555, 175);
    for (int n = 1; n <= 7; ++n) {
        const ChannelPlace& place = kChannels[n - 1];
        auto* group = MakeGroup(this, QString::fromLatin1(place.group),
                                QStringLiteral("Channel %1").arg(QChar('A' + n - 1)));
        group->setGeometry(place.left, place.top, 555, 175);
        auto* memo = Named(new QPlainTextEdit(group), QStringLiteral("Memo_MCom_Ch%1").arg(n));
        memo->setReadOnly(true);
        memo->setGeometry(10, 50, 535, 115);
    }
}

QPlainTextEdit* MultiComTab::channelMemo(int channel) const {
    return Find<QPlainTextEdit>(this, QStringLiteral("Memo_MCom_Ch%1").arg(channel));
}

} // namespace lvx
