// SPDX-License-Identifier: GPL-3.0-or-later
// The processor time of the window left alone: open on its built-in simulated controller
// (which runs in the same process), first download done, nobody touching it. The whole
// process is measured on every page of the window, and per thread on the first, so a figure
// that is too high says where the time goes.
//
//     window_idle_bench [SECONDS_PER_PAGE [RUNS [PAGE]]]     (defaults: 30 s, 3 runs, all)
//
// PAGE (a page's object name, tsConfig) measures that page alone, to profile it.

#include "bench_support.h"
#include "host/built_in_controller.h"
#include "main/frm_phorin.h"
#include "main/zel_application.h"
#include "support/window_settings.h"

#include <QDir>
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

// Processor seconds of each thread of this process by its name (threads of one name summed).
std::map<QString, double> ThreadCpuSeconds() {
    std::map<QString, double> seconds;
    const double tick = double(::sysconf(_SC_CLK_TCK));
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('('), close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QString name = QString::fromUtf8(line.mid(open + 1, close - open - 1));
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() > 12) // utime and stime are fields 14 and 15 of the whole line
            seconds[name] += (fields[11].toDouble() + fields[12].toDouble()) / tick;
    }
    return seconds;
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
    bool threadsReported = false;
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
            const std::map<QString, double> threadsBefore = ThreadCpuSeconds();
            const double before = ProcessCpuSeconds();
            const Clock::time_point start = Clock::now();
            RunFor(seconds * 1000);
            const double wall = SecondsBetween(start, Clock::now());
            const double share = (ProcessCpuSeconds() - before) / wall;
            const QString page = pages->widget(index)->objectName();
            perPage[page].push_back(share);
            if (!threadsReported) {
                threadsReported = true;
                for (const auto& [name, total] : ThreadCpuSeconds()) {
                    const auto earlier = threadsBefore.find(name);
                    const double used =
                        total - (earlier == threadsBefore.end() ? 0.0 : earlier->second);
                    Figure(QStringLiteral("thread_%1_percent_of_a_core")
                               .arg(QString(name).replace(QLatin1Char(' '), QLatin1Char('_'))),
                           100.0 * used / wall);
                }
            }
        }
        window.close();
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
