// SPDX-License-Identifier: GPL-3.0-or-later
// The processor time of an idle ready link: connected to a simulated controller in a process of
// its own (so that the figure is the link's and its host's alone), first download done, then
// 10 s of polling with nothing else asked.
//
//     idle_cpu_bench [RUNS]

#include "bench_support.h"
#include "com/link_thread.h"
#include "lang/translate.h"
#include "support/sim_process.h"

#include <QThread>

#include <thread>

#include <sys/resource.h>

using namespace zel;
using namespace zel::bench;

namespace {

constexpr int IdleMs = 10000;
constexpr int SettleMs = 1000;
constexpr int DefaultRuns = 3;

double CpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// What a thread that only sleeps 20 ms at a time costs on this machine: the floor under the
// link's idle loop, which sleeps as long between its passes.
double SleepFloorCpuPerSecond() {
    double perSecond = 0;
    std::thread sleeper([&] {
        const double before = CpuSeconds(RUSAGE_THREAD);
        const Clock::time_point start = Clock::now();
        for (int pass = 0; pass < 250; ++pass)
            QThread::msleep(20);
        perSecond = (CpuSeconds(RUSAGE_THREAD) - before) / SecondsBetween(start, Clock::now());
    });
    sleeper.join();
    return perSecond;
}

struct Run {
    double processCpu = 0; // per second of wall time
    double hostCpu = 0;    // the host's (main) thread alone
    double simCpu = 0;
    int polls = 0;
};

std::optional<Run> IdleOnce() {
    test::SimProcess sim(test::BuiltSimProgram(), {QStringLiteral("--rows"), QStringLiteral("64"),
                                                   QStringLiteral("--seed"), QStringLiteral("1")});
    if (!sim.Start()) {
        std::fprintf(stderr, "%s\n", qPrintable(sim.ErrorText()));
        return std::nullopt;
    }
    TimedHost host;
    TthdCom link(host, host.gate, sim.SlavePath(), false);
    if (!RunUntil([&] { return host.Downloaded(); }, 30000)) {
        std::fprintf(stderr, "no complete download within 30 s:\n%s\n",
                     qPrintable(host.log.join(QLatin1Char('\n'))));
        return std::nullopt;
    }
    RunFor(SettleMs);

    const QString simProcess = QString::number(sim.Process().processId());
    const int pollsBefore = int(sim.Events().count(QStringLiteral("IN 81")));
    const double processBefore = CpuSeconds(RUSAGE_SELF);
    const double hostBefore = CpuSeconds(RUSAGE_THREAD);
    const double simBefore = SchedStatSeconds(simProcess, 0);
    const Clock::time_point start = Clock::now();
    RunFor(IdleMs);
    const double wall = SecondsBetween(start, Clock::now());
    Run run;
    run.processCpu = (CpuSeconds(RUSAGE_SELF) - processBefore) / wall;
    run.hostCpu = (CpuSeconds(RUSAGE_THREAD) - hostBefore) / wall;
    run.simCpu = (SchedStatSeconds(simProcess, 0) - simBefore) / wall;
    run.polls = int(sim.Events().count(QStringLiteral("IN 81"))) - pollsBefore;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SelectLanguage(LanguageEnglish);
    const int runs = RunCount(argc, argv, DefaultRuns);
    Figure(QStringLiteral("idle_seconds"), IdleMs / 1000.0, 0);
    Figure(QStringLiteral("sleep_20ms_loop_cpu_per_second"), SleepFloorCpuPerSecond(), 5);

    std::vector<double> processCpu;
    for (int run = 1; run <= runs; ++run) {
        const std::optional<Run> result = IdleOnce();
        if (!result)
            return 1;
        const QString prefix = QStringLiteral("run%1_").arg(run);
        Figure(prefix + QStringLiteral("polls"), result->polls, 0);
        Figure(prefix + QStringLiteral("host_thread_cpu_per_second"), result->hostCpu, 5);
        Figure(prefix + QStringLiteral("sim_process_cpu_per_second"), result->simCpu, 5);
        Figure(prefix + QStringLiteral("cpu_per_second"), result->processCpu, 5);
        processCpu.push_back(result->processCpu);
    }
    Figure(QStringLiteral("median_cpu_per_second"), Median(processCpu), 5);
    Figure(QStringLiteral("median_cpu_percent_of_a_core"), 100.0 * Median(processCpu));
    return 0;
}
