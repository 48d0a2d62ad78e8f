// SPDX-License-Identifier: GPL-3.0-or-later
// The processor time of the window left alone: open on its built-in simulated controller
// (which runs in the same process), first download done, nobody touching it. The whole
// process is measured on every page of the window, and so is each thread with its wake-ups, so
// a figure that is too high says where the time goes.
//
//     window_idle_bench [SECONDS_PER_PAGE [RUNS [PAGE]]]     (defaults: 30 s, 3 runs, all)
//
// PAGE (a page's object name, tsConfig) measures that page alone, to profile it. On a virtual
// machine a wake-up across processors can cost more than the work it starts; run the bench
// under `taskset -c 0` as well to tell the program's own time from the machine's.

#include "bench_support.h"
#include "host/built_in_controller.h"
#include "main/frm_phorin.h"
#include "main/zel_application.h"
#include "support/window_settings.h"

#include <QDir>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>

#include <map>

#include <sys/resource.h>
#include <unistd.h>

using namespace zel;
using namespace zel::bench;

namespace {

constexpr int SettleMs = 2000;

double ProcessCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct ThreadUse {
    double seconds = 0; // on a processor
    double wakeUps = 0; // voluntary context switches: each is a sleep that something ended
};

// What each thread of this process has used, by its name as a figure's word (threads of one name
// summed). The scheduler's own count in nanoseconds: the 10 ms ticks of utime would hide a figure
// this small.
std::map<QString, ThreadUse> ThreadUses() {
    std::map<QString, ThreadUse> uses;
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = QStringLiteral("/proc/self/task/") + task;
        const QByteArray schedstat = read(folder + QStringLiteral("/schedstat"));
        const QByteArray status = read(folder + QStringLiteral("/status"));
        const QString name = QString::fromUtf8(read(folder + QStringLiteral("/comm")).trimmed())
                                 .replace(QRegularExpression(QStringLiteral("\\W+")),
                                          QStringLiteral("_"));
        ThreadUse& use = uses[name];
        use.seconds += schedstat.split(' ').value(0).toDouble() / 1e9;
        const QByteArray key = "\nvoluntary_ctxt_switches:";
        const int at = status.indexOf(key);
        if (at >= 0)
            use.wakeUps += status.mid(at + key.size()).split('\n').value(0).trimmed().toDouble();
    }
    return uses;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    QTemporaryDir settings;
    test::IsolateWindowSettings(settings.path());
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const QString onlyPage = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    Figure(QStringLiteral("seconds_per_page"), seconds, 0);

    std::map<QString, std::vector<double>> perPage;
    // By "page_<page>_thread_<thread>": the share of a core and the wake-ups a second, a run each.
    std::map<QString, std::vector<double>> threadShares, threadWakeUps;
    for (int run = 1; run <= runs; ++run) {
        TfrmPHORIN window({BuiltInController::Entry.section(QLatin1Char(' '), 0, 0),
                           QStringLiteral("-english"), QStringLiteral("-expert")});
        window.ProgramDir = settings.path();
        window.show();
        if (!RunUntil([&] { return window.Connected(); }, 30000)) {
            std::fprintf(stderr, "the window did not connect to its simulated controller\n");
            return 1;
        }
        RunFor(SettleMs * 2); // the first download
        auto* pages = window.findChild<QTabWidget*>();
        for (int index = 0; index < pages->count(); ++index) {
            if (!pages->isTabVisible(index) ||
                (!onlyPage.isEmpty() && pages->widget(index)->objectName() != onlyPage))
                continue;
            pages->setCurrentIndex(index);
            RunFor(SettleMs);
            const std::map<QString, ThreadUse> threadsBefore = ThreadUses();
            const double before = ProcessCpuSeconds();
            const Clock::time_point start = Clock::now();
            RunFor(seconds * 1000);
            const double wall = SecondsBetween(start, Clock::now());
            const double share = (ProcessCpuSeconds() - before) / wall;
            const QString page = pages->widget(index)->objectName();
            perPage[page].push_back(share);
            for (const auto& [name, use] : ThreadUses()) {
                const ThreadUse earlier = threadsBefore.count(name) ? threadsBefore.at(name)
                                                                    : ThreadUse{};
                const QString key = QStringLiteral("page_%1_thread_%2").arg(page, name);
                threadShares[key].push_back(100.0 * (use.seconds - earlier.seconds) / wall);
                threadWakeUps[key].push_back((use.wakeUps - earlier.wakeUps) / wall);
            }
        }
        window.close();
    }
    for (const auto& [key, shares] : threadShares) {
        Figure(key + QStringLiteral("_percent_of_a_core"), Median(shares));
        Figure(key + QStringLiteral("_wake_ups_per_second"), Median(threadWakeUps[key]), 1);
    }
    double worst = 0;
    for (const auto& [page, shares] : perPage) {
        const double median = 100.0 * Median(shares);
        Figure(QStringLiteral("page_%1_median_percent_of_a_core").arg(page), median);
        worst = std::max(worst, median);
    }
    Figure(QStringLiteral("worst_page_median_percent_of_a_core"), worst);
    return 0;
}
