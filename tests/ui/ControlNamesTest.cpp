// What a screen reader and the keyboard find: every button that shows only a picture has a
// tooltip and an accessible name, in the main window and on every page of the Commander;
// every menu entry has a mnemonic of its own within its menu; the Multi-COM groups the
// device does not have are greyed, and so is the "  Main  " group, with a tooltip saying why.
#include "app/CommanderWindow.h"
#include "app/MainWindow.h"
#include "app/MultiComTab.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

// The letter after the single '&' of a caption ("&&" is a literal ampersand), lower case;
// a null character when there is none.
QChar Mnemonic(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) {
            continue;
        }
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// The buttons of `root` that show no text, leaving out those hidden on purpose and the
// scroll arrows Qt puts on a tab bar.
QList<QAbstractButton*> PictureButtons(QWidget* root) {
    QList<QAbstractButton*> found;
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (!button->text().trimmed().isEmpty() ||
            qobject_cast<QTabBar*>(button->parentWidget()) != nullptr) {
            continue;
        }
        if (button->testAttribute(Qt::WA_WState_ExplicitShowHide) && button->isHidden()) {
            continue;
        }
        found << button;
    }
    return found;
}

QString Describe(const QAbstractButton* button) {
    return QStringLiteral("%1 (%2)").arg(button->objectName(),
                                         QString::fromLatin1(button->metaObject()->className()));
}

} // namespace

class ControlNamesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        window_.reset();
        device_.reset();
        prompt_ = RecordingPrompt{};
    }

    void everyPictureButtonHasATooltipAndAName() {
        // A device with channels, so that every page is shown once.
        device_ = std::make_unique<Devsim>(QStringList{"--counts", "2,1,4,8,3"});
        QVERIFY(!device_->path().isEmpty());
        AppOptions options;
        options.ports = {device_->path()};
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        window_->controller().ethernet = false;
        window_->show();
        window_->search();
        QCOMPARE(window_->controller().devices().count, 1);
        window_->selectRow(1);
        CommanderWindow* commander = window_->commanderWindow();

        QStringList missing;
        int checked = 0;
        const auto check = [&](QWidget* root) {
            for (QAbstractButton* button : PictureButtons(root)) {
                ++checked;
                if (button->toolTip().trimmed().isEmpty()) {
                    missing << Describe(button) + ": no tooltip";
                }
                if (button->accessibleName().trimmed().isEmpty()) {
                    missing << Describe(button) + ": no accessible name";
                }
            }
        };
        check(window_.get());
        QTabWidget* pages = commander->pages();
        for (int i = 0; i < pages->count(); ++i) {
            // Every page, shown or not: a hidden page's buttons come back with another device.
            check(pages->widget(i));
        }
        check(commander); // and whatever the pages do not hold
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
        // The EDID Controller's three, the creator's, Multi-COM's sixteen, the System tab's
        // four and IP Configure's two at least.
        QVERIFY2(checked >= 25, qPrintable(QString::number(checked)));

        // Where a hint is given, the name is that hint; nothing else is made up for it.
        const auto* save = commander->findChild<QAbstractButton*>("SpeedButton_SaveEdid");
        QVERIFY(save);
        QCOMPARE(save->toolTip(), QString("Save EDID"));
        QCOMPARE(save->accessibleName(), QString("Save EDID"));
        const auto* broadcast = commander->findChild<QAbstractButton*>("SpeedButton_MCom_Broad");
        QVERIFY(broadcast);
        QCOMPARE(broadcast->toolTip(), QString("Brostcast Message"));

        // The channel groups follow the device's count: A to C here.
        MultiComTab* tab = commander->multiComTab();
        for (int n = 1; n <= 7; ++n) {
            QGroupBox* group = tab->channelGroup(n);
            QCOMPARE(group->isEnabled(), n <= 3);
            QCOMPARE(group->toolTip().isEmpty(), n <= 3);
        }
        QVERIFY(tab->channelGroup(4)->toolTip().contains("A to C"));
        QGroupBox* main = tab->mainGroup();
        QVERIFY(!main->isEnabled());
        QVERIFY2(main->toolTip().contains("takes no text"), qPrintable(main->toolTip()));
        // Its controls are shown, greyed with it.
        QVERIFY(!commander->findChild<QWidget*>("Edit1")->isEnabled());
        QVERIFY(!broadcast->isEnabled());
    }

    void groupsFollowADeviceWithFewerChannels() {
        MultiComTab tab;
        tab.setChannelCount(7);
        for (int n = 1; n <= 7; ++n) {
            QVERIFY(tab.channelGroup(n)->isEnabled());
        }
        tab.setChannelCount(1);
        QVERIFY(tab.channelGroup(1)->isEnabled());
        QVERIFY(!tab.channelGroup(2)->isEnabled());
        QVERIFY(tab.channelGroup(2)->toolTip().contains("channel A only"));
        // A count beyond the seven groups keeps them all.
        tab.setChannelCount(9);
        QVERIFY(tab.channelGroup(7)->isEnabled());
        tab.setChannelCount(0);
        QVERIFY(!tab.channelGroup(1)->isEnabled());
    }

    void everyMenuEntryHasAMnemonicOfItsOwn() {
        window_ = std::make_unique<MainWindow>(AppOptions{}, &prompt_);
        QStringList faults;
        int entries = 0;
        // The menu bar's menus among themselves, then each menu's entries.
        const auto checkLevel = [&](const QString& where, const QList<QAction*>& actions) {
            QHash<QChar, QString> taken;
            for (const QAction* action : actions) {
                if (action->isSeparator()) {
                    continue;
                }
                ++entries;
                const QChar key = Mnemonic(action->text());
                if (key.isNull()) {
                    faults
                        << QStringLiteral("%1: \"%2\" has no mnemonic").arg(where, action->text());
                } else if (taken.contains(key)) {
                    faults << QStringLiteral("%1: \"%2\" and \"%3\" share '%4'")
                                  .arg(where, taken.value(key), action->text(), key);
                } else {
                    taken.insert(key, action->text());
                }
            }
        };
        const QList<QAction*> bar = window_->menuBar()->actions();
        checkLevel(QStringLiteral("menu bar"), bar);
        for (const QAction* item : bar) {
            if (QMenu* menu = item->menu()) {
                checkLevel(menu->title(), menu->actions());
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        // File, Interface, Tool, Help and their eleven entries.
        QCOMPARE(entries, 4 + 1 + 2 + 7 + 1);
        // The captions read as before.
        QCOMPARE(window_->findChild<QAction*>("Ethernet1")->text().remove('&'),
                 QString("Ethernet"));
        QCOMPARE(window_->findChild<QAction*>("ComPort1")->text().remove('&'), QString("Com Port"));
        QCOMPARE(window_->findChild<QAction*>("Hex1")->text().remove('&'), QString("Hex Table"));
        QCOMPARE(window_->findChild<QAction*>("About2")->text().remove('&'), QString("About"));
    }

private:
    std::unique_ptr<Devsim> device_;
    std::unique_ptr<MainWindow> window_;
    RecordingPrompt prompt_;
};

QTEST_MAIN(ControlNamesTest)
#include "ControlNamesTest.moc"
