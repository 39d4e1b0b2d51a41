// bench_creator_feedback: from a key press in an edit of the EDID creator to the hex table
// window repainted with what the key changed.
//
// The creator tab and the hex table window run as in the program (offscreen unless another
// platform is asked for), both shown, on a brand-new EDID. Each press is a QTest key event
// sent to an edit, typing a character or taking it back in turn over several fields; the
// time runs until the event processing in which the table's viewport received its paint
// event has returned (the paint and the window's flush with it). Goal: p99 under one frame
// (16 ms).
#include "BenchSupport.h"

#include "app/CommanderWindow.h"
#include "app/EdidCreatorTab.h"
#include "app/HexTableWindow.h"
#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace lvx;

namespace {

// Counts the paint events of the widget it watches.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

struct Field {
    const char* name;
    Qt::Key key; // typed, then taken back with Backspace
    char text;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    int presses = 600;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--presses") == 0 && i + 1 < argc) {
            presses = std::max(2, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: bench_creator_feedback [--presses N]\n");
            return 2;
        }
    }

    EdidWorkImage image;
    CreatorModel model(image);
    model.setClock([] { return CalendarDate{2026, 12, 7}; });
    CommanderWindow commander;
    EdidCreatorTab* tab = commander.creatorTab();
    tab->bind(&model, nullptr, nullptr);
    commander.activate(QStringLiteral("EDID Creator"));
    commander.show();
    HexTableWindow hex(image);
    hex.show();
    model.brandNew();
    if (!QTest::qWaitForWindowExposed(&hex) || !QTest::qWaitForWindowExposed(&commander)) {
        std::fprintf(stderr, "bench_creator_feedback: the windows were not shown\n");
        return 1;
    }
    QApplication::processEvents();

    PaintCounter counter;
    hex.grid()->viewport()->installEventFilter(&counter);

    // Fields of the descriptor page whose every change shows in block 0.
    const Field fields[] = {
        {"Edit_Creator_Product_Code", Qt::Key_7, '7'},
        {"Edit_Creator_Serial_Number", Qt::Key_3, '3'},
        {"Edit_Creator_Manufac_Week", Qt::Key_1, '1'},
        {"Edit_Creator_Manufac_Year", Qt::Key_9, '9'},
        {"Edit_Creator_Monitor_Name", Qt::Key_A, 'A'},
    };
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(presses));
    std::vector<std::vector<double>> byField(std::size(fields));
    int missed = 0;
    int unchanged = 0; // presses that changed no byte or colour: their paint is no proof
    QElapsedTimer clock;
    for (int n = 0; n < presses; ++n) {
        const Field& field = fields[(n / 2) % std::size(fields)];
        auto* edit = tab->findChild<QLineEdit*>(QString::fromLatin1(field.name));
        if (edit == nullptr) {
            std::fprintf(stderr, "bench_creator_feedback: no %s\n", field.name);
            return 1;
        }
        edit->setFocus();
        edit->end(false);
        const bool typing = n % 2 == 0;
        const EdidImage bytesBefore = image.bytes();
        std::vector<CellColour> coloursBefore;
        for (int i = 0; i < static_cast<int>(kEdidSize); ++i) {
            coloursBefore.push_back(image.colourAt(i));
        }
        counter.paints = 0;
        clock.start();
        if (typing) {
            QTest::keyClick(edit, field.key, Qt::NoModifier);
        } else {
            QTest::keyClick(edit, Qt::Key_Backspace);
        }
        while (counter.paints == 0 && clock.elapsed() < 1000) {
            QApplication::processEvents();
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        bool changed = image.bytes() != bytesBefore;
        for (int i = 0; !changed && i < static_cast<int>(kEdidSize); ++i) {
            changed = image.colourAt(i) != coloursBefore[static_cast<std::size_t>(i)];
        }
        if (!changed) {
            ++unchanged;
        } else if (counter.paints == 0) {
            ++missed;
        } else {
            times.push_back(ms);
            byField[static_cast<std::size_t>((n / 2) % std::size(fields))].push_back(ms);
        }
    }
    std::sort(times.begin(), times.end());
    const double p50 = bench::Percentile(times, 50);
    const double p99 = bench::Percentile(times, 99);
    const double worst = times.empty() ? 0 : times.back();
    std::printf("== Creator key press to hex table repainted (%s platform)\n",
                qPrintable(QGuiApplication::platformName()));
    std::printf("machine: %ld CPUs online, load average %s\n", bench::OnlineCpus(),
                bench::LoadAverage().c_str());
    std::printf("%zu presses over %zu fields: p50 %.2f ms, p99 %.2f ms, worst %.2f ms; "
                "%d without a repaint within 1 s, %d that changed nothing (not counted)\n",
                times.size(), std::size(fields), p50, p99, worst, missed, unchanged);
    for (std::size_t f = 0; f < std::size(fields); ++f) {
        std::sort(byField[f].begin(), byField[f].end());
        std::printf("  %-28s p50 %.2f ms, p99 %.2f ms\n", fields[f].name,
                    bench::Percentile(byField[f], 50), bench::Percentile(byField[f], 99));
    }
    const bool met = missed == 0 && !times.empty() && p99 < 16.0;
    bench::PrintSummary(
        "creator key press to hex table repainted: p50 " + bench::Format("%.2f", p50) +
            " ms, p99 " + bench::Format("%.2f", p99) + " ms over " + std::to_string(times.size()) +
            " presses" +
            (missed > 0 ? ", " + std::to_string(missed) + " never repainted" : std::string()),
        "p99 under 16 ms (one frame)", met ? "met" : "NOT met");
    std::fflush(stdout);
    return 0;
}
