// How soon a channel level the user changes is on the wire: from the moment the host raises the
// write of the channels to the controller's complete reply to its "01" line, against the time
// that line's characters alone take at 115200 baud. The changes come at moments spread over the
// link's 0.5 s polling period, as a user's do.
//
//     channel_latency_bench [CHANGES]     (default: 40)

#include "bench_support.h"
#include "com/link_thread.h"
#include "lang/translate.h"
#include "sim/sim_controller.h"

using namespace zel;
using namespace zel::bench;

namespace {

constexpr int DefaultChanges = 40;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SelectLanguage(LanguageEnglish);
    const int changes = RunCount(argc, argv, DefaultChanges);
    PacedLink paced(16);
    if (!paced.Downloaded())
        return 1;
    TimedHost& host = paced.host;
    const std::shared_ptr<TimedLine::Record>& record = paced.record;
    std::vector<double> ratios;
    std::vector<double> latenciesMs;
    double lineMs = 0;
    for (int change = 0; change < changes; ++change) {
        // A step that is prime to the polling period lands each change at another phase of it.
        RunFor(137);
        const size_t seen = record->Copy().size();
        host.state.Info.Channel[0] = int16_t(change % 2 ? 1000 : 2000);
        const Clock::time_point raised = Clock::now();
        host.state.Raise(rqSetChannels);
        std::optional<TimedExchange> written;
        const bool done = RunUntil(
            [&] {
                const std::vector<TimedExchange> exchanges = record->Copy();
                for (size_t i = seen; i < exchanges.size(); ++i)
                    if (exchanges[i].code == "01")
                        written = exchanges[i];
                return written.has_value();
            },
            5000);
        if (!done) {
            std::fprintf(stderr, "change %d never reached the wire\n", change + 1);
            return 1;
        }
        const double ownMs = (written->sent + written->received) / CharactersPerSecond * 1e3;
        const double latencyMs = SecondsBetween(raised, written->read) * 1e3;
        lineMs = ownMs;
        latenciesMs.push_back(latencyMs);
        ratios.push_back(latencyMs / ownMs);
    }
    Figure(QStringLiteral("changes"), changes, 0);
    Figure(QStringLiteral("line_own_ms"), lineMs);
    Figure(QStringLiteral("median_latency_ms"), Median(latenciesMs));
    Figure(QStringLiteral("worst_latency_ms"),
           *std::max_element(latenciesMs.begin(), latenciesMs.end()));
    Figure(QStringLiteral("median_ratio"), Median(ratios));
    return 0;
}
