#pragma once

// What the benchmarks share: a host that stamps the moment each message reaches it, an event
// loop that serves the link the way a window's does, and the output of the figures.

#include "com/link_thread.h"
#include "com/serial_line.h"
#include "sim/sim_controller.h"
#include "support/recording_host.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zel::bench {

using Clock = std::chrono::steady_clock;

// 10 bits a character (start, 8 data, stop) at 115200 baud.
constexpr double CharactersPerSecond = 11520.0;

inline double SecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A recording host that also keeps when each status text and log line arrived.
class TimedHost : public test::RecordingHost {
public:
    struct Arrival {
        Clock::time_point at;
        QString text;
    };
    QList<Arrival> arrivals;
    std::optional<Clock::time_point> weatherRefreshed; // the first RefreshWeatherPages

    void LogMessage(const QString& text) override {
        arrivals.append({Clock::now(), text});
        RecordingHost::LogMessage(text);
    }
    void SetStatusText(const QString& text) override {
        arrivals.append({Clock::now(), text});
        RecordingHost::SetStatusText(text);
    }
    void RefreshWeatherPages() override {
        if (!weatherRefreshed)
            weatherRefreshed = Clock::now();
        RecordingHost::RefreshWeatherPages();
    }

    // When `text` first arrived, as a status text or a log line.
    std::optional<Clock::time_point> FirstArrival(const QString& text) const {
        for (const Arrival& arrival : arrivals)
            if (arrival.text == text)
                return arrival.at;
        return std::nullopt;
    }

    bool Downloaded() const { return Connected() && weatherRefreshed.has_value(); }
};

// One exchange as the link's port saw it: when the request started to leave, how long it was,
// when the reply was complete and how long that was.
struct TimedExchange {
    QByteArray code; // the request's first two characters
    Clock::time_point written;
    int sent = 0;
    Clock::time_point read;
    int received = 0;
};

// The link's real serial line, with the moments of its writes and reads kept beside it. Where
// the time between the characters goes: on the line (write to completed read, minus the
// characters' own time) or in the link (completed read to the next write).
class TimedLine final : public SerialLine {
public:
    struct Record {
        std::mutex lock;
        std::vector<TimedExchange> exchanges;

        std::vector<TimedExchange> Copy() {
            const std::lock_guard<std::mutex> guard(lock);
            return exchanges;
        }
    };

    explicit TimedLine(std::shared_ptr<Record> record)
        : line_(CreateSerialPortLine()), record_(std::move(record)) {}

    void SetName(const QString& name) override { line_->SetName(name); }
    QString Name() const override { return line_->Name(); }
    void Open() override { line_->Open(); }
    void Close() override { line_->Close(); }
    bool IsOpen() const override { return line_->IsOpen(); }
    void Purge() override { line_->Purge(); }
    void Write(const QByteArray& data) override {
        written_ = Clock::now();
        code_ = data.left(2);
        sent_ = int(data.size());
        line_->Write(data);
    }
    QByteArray Read(int count) override {
        QByteArray data = line_->Read(count);
        const std::lock_guard<std::mutex> guard(record_->lock);
        record_->exchanges.push_back({code_, written_, sent_, Clock::now(), int(data.size())});
        return data;
    }

private:
    std::unique_ptr<SerialLine> line_;
    std::shared_ptr<Record> record_;
    QByteArray code_;
    Clock::time_point written_;
    int sent_ = 0;
};

// Where the time of a series of exchanges went, in milliseconds per exchange.
struct TimeSplit {
    double lineExcessMs = 0;     // write to completed reply, beyond the characters' time
    double controllerMs = -1;    // of that: the request's last character to the reply's start
    double linkTurnaroundMs = 0; // completed reply to the next request
};

// `replyStarts`, when known for every exchange, are the moments the controller began each reply.
inline TimeSplit SplitTime(const std::vector<TimedExchange>& exchanges,
                           const std::vector<Clock::time_point>& replyStarts = {}) {
    TimeSplit split;
    if (exchanges.empty())
        return split;
    const bool startsKnown = replyStarts.size() >= exchanges.size();
    double controller = 0;
    for (size_t i = 0; i < exchanges.size(); ++i) {
        const TimedExchange& exchange = exchanges[i];
        const double characters = (exchange.sent + exchange.received) / CharactersPerSecond;
        split.lineExcessMs += (SecondsBetween(exchange.written, exchange.read) - characters) * 1e3;
        if (startsKnown)
            controller += (SecondsBetween(exchange.written, replyStarts[i]) -
                           exchange.sent / CharactersPerSecond) *
                          1e3;
        if (i > 0)
            split.linkTurnaroundMs += SecondsBetween(exchanges[i - 1].read, exchange.written) * 1e3;
    }
    split.lineExcessMs /= double(exchanges.size());
    if (startsKnown)
        split.controllerMs = controller / double(exchanges.size());
    if (exchanges.size() > 1)
        split.linkTurnaroundMs /= double(exchanges.size() - 1);
    return split;
}

// When the simulated controller began its replies, from its wire log ("12.345 OUT 8120..."):
// for each request line that `wanted` accepts, the time of the reply that follows it. `origin`
// is when the log's clock started; the log's millisecond steps average out over many exchanges.
template <typename Wanted>
std::vector<Clock::time_point> ReplyStarts(const QStringList& wireLines, Clock::time_point origin,
                                           Wanted wanted) {
    std::vector<Clock::time_point> starts;
    bool waiting = false;
    for (const QString& line : wireLines) {
        const QString kind = line.section(QLatin1Char(' '), 1, 1);
        if (kind == QLatin1String("IN")) {
            waiting = wanted(line.section(QLatin1Char(' '), 2));
        } else if (kind == QLatin1String("OUT") && waiting) {
            const double seconds = line.section(QLatin1Char(' '), 0, 0).toDouble();
            starts.push_back(origin + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(seconds)));
            waiting = false;
        }
    }
    return starts;
}

// Runs the host's event loop until the condition holds or the time is up. The loop sleeps until
// an event comes, as a window's does, so the link's synchronised calls are served at once and
// an idle host costs nothing; the condition changes only through events on this thread.
template <typename Condition> bool RunUntil(Condition condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QTimer wakeAtDeadline;
    wakeAtDeadline.setSingleShot(true);
    wakeAtDeadline.start(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline void RunFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// One figure a line: "name value".
inline void Figure(const QString& name, double value, int decimals = 3) {
    std::printf("%s %.*f\n", qPrintable(name), decimals, value);
    std::fflush(stdout);
}

// A field of /proc/PROCESS/task/TID/schedstat summed over the process's threads, in seconds:
// field 0 is the time on a processor, field 1 the time ready to run but waiting for one.
// Nanoseconds, so finer than the clock ticks of /proc/PID/stat.
inline double SchedStatSeconds(const QString& process, int field) {
    double seconds = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(process));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (stat.open(QIODevice::ReadOnly))
            seconds += stat.readAll().split(' ').value(field).toDouble() / 1e9;
    }
    return seconds;
}

// How long this process's threads have waited for a processor: on a loaded machine, where the
// line's wake-ups lose their time.
inline double RunQueueWaitSeconds() {
    return SchedStatSeconds(QStringLiteral("self"), 1);
}

// One timed run: how long it took, where the time between the characters went, and how long
// the run's threads waited for a processor (threads started by the run count from their start).
struct TimedRun {
    double seconds = 0;
    TimeSplit split;
    double runQueueWaitSeconds = 0;
};

// Prints the wire bound of `characters`, then runs `once` `runs` times and prints each run's
// seconds, ratio to the bound and time split per unit (an exchange, a block), then the
// medians. False when a run failed.
template <typename Once>
bool ReportRuns(const QString& what, const QString& unit, int units, int characters, int runs,
                Once once) {
    const double bound = characters / CharactersPerSecond;
    Figure(QStringLiteral("wire_characters"), characters, 0);
    Figure(QStringLiteral("wire_bound_seconds"), bound);
    std::vector<double> seconds;
    std::vector<double> lineExcess;
    std::vector<double> controller;
    std::vector<double> turnaround;
    std::vector<double> waits;
    for (int run = 1; run <= runs; ++run) {
        const std::optional<TimedRun> result = once();
        if (!result)
            return false;
        const QString prefix = QStringLiteral("run%1_").arg(run);
        Figure(prefix + what + QStringLiteral("_seconds"), result->seconds);
        Figure(prefix + QStringLiteral("ratio"), result->seconds / bound);
        Figure(prefix + QStringLiteral("line_excess_ms_per_") + unit, result->split.lineExcessMs);
        Figure(prefix + QStringLiteral("controller_reply_delay_ms_per_") + unit,
               result->split.controllerMs);
        Figure(prefix + QStringLiteral("link_turnaround_ms_per_") + unit,
               result->split.linkTurnaroundMs);
        Figure(prefix + QStringLiteral("runqueue_wait_ms_per_") + unit,
               result->runQueueWaitSeconds * 1e3 / units);
        seconds.push_back(result->seconds);
        waits.push_back(result->runQueueWaitSeconds * 1e3 / units);
        lineExcess.push_back(result->split.lineExcessMs);
        controller.push_back(result->split.controllerMs);
        turnaround.push_back(result->split.linkTurnaroundMs);
    }
    const double median = Median(seconds);
    Figure(QStringLiteral("median_") + what + QStringLiteral("_seconds"), median);
    Figure(QStringLiteral("median_overhead_ms_per_") + unit, (median - bound) * 1000.0 / units);
    Figure(QStringLiteral("median_line_excess_ms_per_") + unit, Median(lineExcess));
    Figure(QStringLiteral("median_controller_reply_delay_ms_per_") + unit, Median(controller));
    Figure(QStringLiteral("median_link_turnaround_ms_per_") + unit, Median(turnaround));
    Figure(QStringLiteral("median_runqueue_wait_ms_per_") + unit, Median(waits));
    Figure(QStringLiteral("median_ratio"), median / bound);
    return true;
}

// The number of runs: the first argument, else `fallback`.
inline int RunCount(int argc, char** argv, int fallback) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : fallback;
    return runs > 0 ? runs : fallback;
}

// A link timing each exchange with a simulated controller paced at 115200 baud.
struct PacedLink {
    explicit PacedLink(int rows)
        : sim([rows] {
              SimOptions options;
              options.rows = rows;
              options.seed = 1;
              options.paceBaud = 115200;
              return options;
          }()),
          port(sim.Start()), record(std::make_shared<TimedLine::Record>()),
          link(host, host.gate, port, false,
               [record = record] { return std::make_unique<TimedLine>(record); }) {}

    // Whether the first download ended within a minute; says why not.
    bool Downloaded() {
        if (RunUntil([&] { return host.Downloaded(); }, 60000))
            return true;
        std::fprintf(stderr, "no complete download within 60 s:\n%s\n",
                     qPrintable(host.log.join(QLatin1Char('\n'))));
        return false;
    }

    SimController sim;
    QString port;
    TimedHost host;
    std::shared_ptr<TimedLine::Record> record;
    TthdCom link;
};

} // namespace zel::bench
