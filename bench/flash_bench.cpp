// SPDX-License-Identifier: GPL-3.0-or-later
// A firmware update of a 31 KiB image to a controller waiting in its bootloader on a line paced
// at 115200 baud, from the first block to the final status, against the time its characters
// alone take on that line. Also checks that the controller's flash holds the image afterwards.
//
//     flash_bench [RUNS]

#include "bench_support.h"
#include "com/command_set.h"
#include "com/link_thread.h"
#include "lang/translate.h"
#include "sim/sim_controller.h"
#include "support/firmware_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <random>

using namespace zel;
using namespace zel::bench;

namespace {

constexpr int ImageBytes = 31 * 1024;
constexpr int BlockBytes = 64;
constexpr int DefaultRuns = 5;

// "02", the address and 64 bytes as hex digits, LF; the acknowledgement is one character.
constexpr int BlockCharacters = 2 + 2 * FlashBlockLength + 1 + 1;
// "01" with six bytes, LF, and its acknowledgement: the restart closes the update.
constexpr int RestartCharacters = 2 + 2 * RestartLength + 1 + 1;

QByteArray RandomImage() {
    std::mt19937 random(31);
    QByteArray image(ImageBytes, '\0');
    for (char& byte : image)
        byte = char(random() & 0xFF);
    return image;
}

// What a flash run leaves to check: whether each controller's flash held the image, and the
// bootloader rules broken.
struct FlashCheck {
    bool flashMatches = true;
    int violations = 0;
};

std::optional<TimedRun> FlashOnce(const QString& path, const QByteArray& image, FlashCheck& check) {
    SimOptions options;
    options.seed = 1;
    options.boot = true;
    options.pageSize = 128;
    options.flashSize = 32768;
    options.paceBaud = 115200;
    const double waitedBefore = RunQueueWaitSeconds();
    const Clock::time_point logOrigin = Clock::now();
    SimController sim(options);
    const QString port = sim.Start();
    TimedHost host;
    int choices = 0;
    host.chooseFirmware = [&] { return choices++ == 0 ? path : QString(); };
    auto record = std::make_shared<TimedLine::Record>();
    TthdCom link(host, host.gate, port, false,
                 [record] { return std::make_unique<TimedLine>(record); });

    const QString succeeded = Translate(QStringLiteral("FirmwareUpdateSuccessful"));
    const QString failed = Translate(QStringLiteral("FirmwareUpdateFailed"));
    if (!RunUntil([&] { return host.status.contains(succeeded) || host.status.contains(failed); },
                  60000)) {
        std::fprintf(stderr, "no firmware update within 60 s:\n%s\n",
                     qPrintable(host.log.join(QLatin1Char('\n'))));
        return std::nullopt;
    }
    const auto firstBlock = host.FirstArrival(QStringLiteral("0x0000 (0 %)"));
    const auto end = host.FirstArrival(succeeded);
    if (!firstBlock || !end) {
        std::fprintf(stderr, "the update failed:\n%s\n",
                     qPrintable(host.log.join(QLatin1Char('\n'))));
        return std::nullopt;
    }

    // The blocks are the exchanges that sent a whole block line.
    std::vector<TimedExchange> blocks;
    for (const TimedExchange& exchange : record->Copy())
        if (exchange.sent == BlockCharacters - 1)
            blocks.push_back(exchange);

    const auto replyStarts = ReplyStarts(sim.WireLines(), logOrigin, [](const QString& request) {
        return request.size() == BlockCharacters - 2 && request.startsWith(QLatin1String("02"));
    });

    const SimState state = sim.State();
    const QByteArray flash(reinterpret_cast<const char*>(state.flash.data()),
                           int(std::min<size_t>(state.flash.size(), size_t(ImageBytes))));
    check.flashMatches = check.flashMatches && flash == image;
    check.violations += int(state.violations.size());
    return TimedRun{SecondsBetween(*firstBlock, *end), SplitTime(blocks, replyStarts),
                    RunQueueWaitSeconds() - waitedBefore};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SelectLanguage(LanguageEnglish);
    const int runs = RunCount(argc, argv, DefaultRuns);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("ZELPHORIN2x0.chx"));
    const QByteArray image = RandomImage();
    QFile file(path);
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write(test::FirmwareFile(0, image)) != ImageBytes + 12) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    file.close();

    const int blocks = ImageBytes / BlockBytes;
    Figure(QStringLiteral("image_bytes"), ImageBytes, 0);
    Figure(QStringLiteral("blocks"), blocks, 0);
    FlashCheck check;
    if (!ReportRuns(QStringLiteral("flash"), QStringLiteral("block"), blocks,
                    blocks * BlockCharacters + RestartCharacters, runs,
                    [&] { return FlashOnce(path, image, check); }))
        return 1;
    Figure(QStringLiteral("flash_matches"), check.flashMatches ? 1 : 0, 0);
    Figure(QStringLiteral("violations"), check.violations, 0);
    return 0;
}
