// The first complete download of a controller with 64 schedule rows on a line paced at
// 115200 baud, from the opened port to the last block stored, against the time its characters
// alone take on that line.
//
//     download_bench [RUNS]

#include "bench_support.h"
#include "com/command_set.h"
#include "com/link_thread.h"
#include "lang/translate.h"
#include "sim/sim_controller.h"

using namespace zel;
using namespace zel::bench;

namespace {

constexpr int Rows = 64;
constexpr int DefaultRuns = 5;

struct Exchange {
    QString code;
    int length = 0; // bytes of the block
    int count = 1;
};

// The identification, then the download in the order the link serves it.
const std::vector<Exchange>& DownloadOrder() {
    static const std::vector<Exchange> order = {
        {"80", DeviceIdLength},     {"82", ConfigLength},           {"81", InfoLength},
        {"85", ExpertLength},       {"83", RowMessageLength, Rows}, {"87", ChartLength},
        {"86", ExpertWeatherLength}};
    return order;
}

// A Get of an n-byte block: the code and LF out; the echo, 2n digits and a terminator back.
int GetCharacters(int n) {
    return 3 + 2 * (n + 1) + 1;
}

QStringList ExpectedCodes() {
    QStringList codes;
    for (const Exchange& exchange : DownloadOrder())
        for (int i = 0; i < exchange.count; ++i)
            codes << exchange.code;
    return codes;
}

int ExpectedCharacters() {
    int characters = 0;
    for (const Exchange& exchange : DownloadOrder())
        characters += exchange.count * GetCharacters(exchange.length);
    return characters;
}

// The characters an escaped wire-log text stands for ("\n", "\\" and "\x07" are one each).
int LoggedCharacters(const QString& text) {
    int characters = 0;
    for (int i = 0; i < text.size(); ++i, ++characters)
        if (text[i] == QLatin1Char('\\'))
            i += text.mid(i + 1, 1) == QLatin1String("x") ? 3 : 1;
    return characters;
}

// What the simulator's wire log shows of the download: the request codes from the
// identification on, and every character both ways up to the reply to "86".
struct LoggedDownload {
    QStringList codes;
    int characters = 0;
};

LoggedDownload FromWireLog(const QStringList& events) {
    LoggedDownload logged;
    for (const QString& event : events) {
        const QString kind = event.section(QLatin1Char(' '), 0, 0);
        const QString text = event.section(QLatin1Char(' '), 1);
        if (logged.codes.isEmpty() && event != QLatin1String("IN 80"))
            continue;
        if (kind == QLatin1String("IN")) {
            logged.codes << text.left(2);
            logged.characters += text.size() + 1; // the LF is not logged
        } else if (kind == QLatin1String("OUT")) {
            logged.characters += LoggedCharacters(text);
            if (logged.codes.last() == QLatin1String("86"))
                break;
        }
    }
    return logged;
}

// One download; `logMatches` stays true while the wire log shows exactly the expected exchanges.
std::optional<TimedRun> DownloadOnce(bool& logMatches) {
    const double waitedBefore = RunQueueWaitSeconds();
    const Clock::time_point logOrigin = Clock::now();
    PacedLink paced(Rows);
    if (!paced.Downloaded())
        return std::nullopt;
    const SimController& sim = paced.sim;
    const TimedHost& host = paced.host;
    const auto opened =
        host.FirstArrival(TranslateFormat(QStringLiteral("ConnectedTo"), {paced.port}));
    if (!opened) {
        std::fprintf(stderr, "the port never opened\n");
        return std::nullopt;
    }
    const LoggedDownload logged = FromWireLog(WithoutTimes(sim.WireLines()));
    std::vector<TimedExchange> exchanges = paced.record->Copy();
    exchanges.resize(std::min(exchanges.size(), size_t(ExpectedCodes().size())));
    const auto replyStarts =
        ReplyStarts(sim.WireLines(), logOrigin, [](const QString&) { return true; });
    logMatches =
        logMatches && logged.codes == ExpectedCodes() && logged.characters == ExpectedCharacters();
    return TimedRun{SecondsBetween(*opened, *host.weatherRefreshed),
                    SplitTime(exchanges, replyStarts), RunQueueWaitSeconds() - waitedBefore};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SelectLanguage(LanguageEnglish);
    const int runs = RunCount(argc, argv, DefaultRuns);
    Figure(QStringLiteral("rows"), Rows, 0);
    const int exchanges = int(ExpectedCodes().size());
    Figure(QStringLiteral("exchanges"), exchanges, 0);
    bool logMatches = true;
    if (!ReportRuns(QStringLiteral("download"), QStringLiteral("exchange"), exchanges,
                    ExpectedCharacters(), runs, [&] { return DownloadOnce(logMatches); }))
        return 1;
    Figure(QStringLiteral("wire_log_matches"), logMatches ? 1 : 0, 0);
    return 0;
}
