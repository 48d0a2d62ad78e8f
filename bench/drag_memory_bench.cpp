// SPDX-License-Identifier: GPL-3.0-or-later
// The window's resident memory while the user drags the visualisation without pause: the
// window connected to a simulated controller in a process of its own, drags scripted through
// the mouse (press on a point, eight moves 25 ms apart, release and upload), for two periods.
// The second period's growth shows whether anything accumulates.
//
//     drag_memory_bench [SECONDS_PER_PERIOD]

#include "bench_support.h"
#include "main/frm_phorin.h"
#include "main/pages/visualize_page.h"
#include "main/views/image_box.h"
#include "support/sim_process.h"

#include <QApplication>
#include <QTabWidget>
#include <QTest>

#include <unistd.h>

using namespace zel;
using namespace zel::bench;

namespace {

constexpr int DefaultSeconds = 60;
constexpr int MovesPerDrag = 8;

double ResidentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// One step every 25 ms: a press on row k's point, moves across the picture, a release.
class DragScript : public QObject {
public:
    DragScript(TfrmPHORIN& window, VisualizePage& page) : window_(window), page_(page) {
        timer_.setInterval(VisualizePage::TimerIntervalMs);
        connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
        timer_.start();
    }
    int Drags() const { return drags_; }

private:
    void Step() {
        ImageBox* img = page_.img;
        DeviceState& state = window_.State();
        if (step_ == 0) {
            const size_t row = size_t(drags_) % state.PointCache.size();
            const PointCacheEntry& point = state.PointCache[row];
            QTest::mousePress(
                img, Qt::LeftButton, {},
                QPoint(qRound(point[0]), qRound(point[size_t(page_.VisualisedChannel()) + 1])));
        } else if (step_ <= MovesPerDrag) {
            QTest::mouseMove(img, QPoint(img->width() * (step_ + drags_ % 3) / 12,
                                         img->height() * step_ / (MovesPerDrag + 2)));
        } else {
            QTest::mouseRelease(img, Qt::LeftButton, {}, img->rect().center());
            ++drags_;
            step_ = -1;
        }
        ++step_;
    }

    TfrmPHORIN& window_;
    VisualizePage& page_;
    QTimer timer_;
    int step_ = 0;
    int drags_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int seconds = RunCount(argc, argv, DefaultSeconds);
    test::SimProcess sim(test::BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("64"),
                                                   QStringLiteral("--seed"), QStringLiteral("1")});
    if (!sim.Start()) {
        std::fprintf(stderr, "%s\n", qPrintable(sim.ErrorText()));
        return 1;
    }
    TfrmPHORIN window({sim.SlavePath(), QStringLiteral("-english")});
    window.resize(1280, 800);
    window.show();
    auto* pc = window.findChild<QTabWidget*>(QStringLiteral("pc"));
    if (!RunUntil(
            [&] {
                return window.Connected() &&
                       pc->currentWidget()->objectName() != QStringLiteral("tsMessages");
            },
            30000)) {
        std::fprintf(stderr, "no complete read within 30 s\n");
        return 1;
    }
    auto* page = window.findChild<VisualizePage*>(QStringLiteral("tsVisualize"));
    window.ShowPage(page);
    RunFor(1000);
    Figure(QStringLiteral("seconds_per_period"), seconds, 0);
    Figure(QStringLiteral("rss_connected_mib"), ResidentMiB());

    DragScript script(window, *page);
    RunFor(seconds * 1000);
    const double first = ResidentMiB();
    const int firstDrags = script.Drags();
    Figure(QStringLiteral("rss_after_period1_mib"), first);
    Figure(QStringLiteral("drags_period1"), firstDrags, 0);
    RunFor(seconds * 1000);
    const double second = ResidentMiB();
    Figure(QStringLiteral("rss_after_period2_mib"), second);
    Figure(QStringLiteral("drags_period2"), script.Drags() - firstDrags, 0);
    Figure(QStringLiteral("rss_growth_period2_mib"), second - first);
    Figure(QStringLiteral("row_uploads"),
           int(sim.Events().filter(QRegularExpression(QStringLiteral("^IN 03"))).size()), 0);
    window.close();
    return 0;
}
