// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/sim_options.h"

#include <stdexcept>

namespace zel {

namespace {

[[noreturn]] void Refuse(const QString& message) {
    throw std::invalid_argument(message.toStdString());
}

// Decimal or 0x-prefixed hexadecimal, within [min, max].
qint64 Number(const QString& option, const QString& text, qint64 min, qint64 max) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok, 0);
    if (!ok || value < min || value > max)
        Refuse(QStringLiteral("%1: '%2' is not a number from %3 to %4")
                   .arg(option, text)
                   .arg(min)
                   .arg(max));
    return value;
}

NackRule ParseNackRule(const QString& item) {
    const QString option = QStringLiteral("--nack-blocks");
    NackRule rule;
    if (item.startsWith(QLatin1Char('#'))) {
        rule.blockLine = int(Number(option, item.mid(1), 1, 1 << 20));
        return rule;
    }
    const QStringList parts = item.split(QLatin1Char(':'));
    if (parts.size() > 2)
        Refuse(QStringLiteral("%1: '%2' is not ADDRESS, ADDRESS:TRIES or #LINE").arg(option, item));
    rule.address = int(Number(option, parts[0], 0, 0xFFFF));
    if (parts.size() == 2)
        rule.tries = int(Number(option, parts[1], 1, 1 << 20));
    return rule;
}

MisstoreRule ParseMisstoreRule(const QString& item) {
    const QString option = QStringLiteral("--misstore");
    const QStringList parts = item.split(QLatin1Char(':'));
    if (parts.size() != 2)
        Refuse(QStringLiteral("%1: '%2' is not CODE:BYTE").arg(option, item));
    // The writes of blocks the settings file holds, with their payload lengths.
    const std::pair<QString, int> writes[] = {{QStringLiteral("02"), 23},
                                              {QStringLiteral("03"), 16},
                                              {QStringLiteral("05"), 56},
                                              {QStringLiteral("06"), 29}};
    for (const auto& [code, length] : writes) {
        if (parts[0] != code)
            continue;
        MisstoreRule rule;
        rule.code = uint8_t(code.toUInt(nullptr, 16));
        // The row index of "03" is no field: a wrong one would store another row.
        rule.offset =
            int(Number(option, parts[1], code == QLatin1String("03") ? 1 : 0, length - 1));
        return rule;
    }
    Refuse(QStringLiteral("%1: the code of '%2' is not 02, 03, 05 or 06").arg(option, item));
}

GarbleRule ParseGarbleRule(const QString& item) {
    const QString option = QStringLiteral("--garble");
    const QStringList parts = item.split(QLatin1Char(':'));
    if (parts.size() != 2)
        Refuse(QStringLiteral("%1: '%2' is not CODE:K or CODE:K+").arg(option, item));
    // The requests answered with a block; an acknowledgement has nothing to garble.
    static const QStringList gets = {
        QStringLiteral("80"), QStringLiteral("81"), QStringLiteral("82"), QStringLiteral("83"),
        QStringLiteral("85"), QStringLiteral("86"), QStringLiteral("87"), QStringLiteral("88")};
    if (!gets.contains(parts[0].trimmed()))
        Refuse(
            QStringLiteral("%1: the code of '%2' is not 80 to 83 or 85 to 88").arg(option, item));
    GarbleRule rule;
    rule.code = uint8_t(parts[0].trimmed().toUInt(nullptr, 16));
    rule.onward = parts[1].endsWith(QLatin1Char('+'));
    rule.reply = int(Number(option, parts[1].chopped(rule.onward ? 1 : 0), 1, 1 << 30));
    return rule;
}

} // namespace

SimCommandLine ParseSimArguments(const QStringList& arguments) {
    SimCommandLine result;
    SimOptions& o = result.options;
    for (int i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> attached;
        const int equals = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && equals > 0) {
            attached = name.mid(equals + 1);
            name = name.left(equals);
        }
        const auto value = [&]() -> QString {
            if (attached)
                return *attached;
            if (i + 1 >= arguments.size())
                Refuse(QStringLiteral("%1 needs a value").arg(name));
            return arguments[++i];
        };
        const auto number = [&](qint64 min, qint64 max) { return Number(name, value(), min, max); };
        const auto plain = [&]() {
            if (attached)
                Refuse(QStringLiteral("%1 takes no value").arg(name));
            return true;
        };

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            result.help = plain();
        } else if (name == QLatin1String("--version") || name == QLatin1String("-V")) {
            result.version = plain();
        } else if (name == QLatin1String("--rows")) {
            o.rows = int(number(0, MaxSimRows));
        } else if (name == QLatin1String("--seed")) {
            o.seed = uint32_t(number(0, 0xFFFFFFFFLL));
        } else if (name == QLatin1String("--state")) {
            o.statePath = value();
        } else if (name == QLatin1String("--no-water")) {
            o.waterSensor = !plain();
        } else if (name == QLatin1String("--identify")) {
            const QString text = value();
            const QStringList parts = text.split(QLatin1Char(','));
            if (parts.size() != 2)
                Refuse(QStringLiteral("--identify: '%1' is not H,V").arg(text));
            o.hardwareId = uint8_t(Number(name, parts[0], 0, 255));
            o.firmwareVariant = uint8_t(Number(name, parts[1], 0, 255));
        } else if (name == QLatin1String("--boot")) {
            o.boot = plain();
        } else if (name == QLatin1String("--page-size")) {
            const qint64 size = number(16, 8192);
            if ((size & (size - 1)) != 0)
                Refuse(QStringLiteral("--page-size: %1 is not a power of two").arg(size));
            o.pageSize = uint16_t(size);
        } else if (name == QLatin1String("--flash-size")) {
            o.flashSize = uint32_t(number(2048, 1 << 20));
        } else if (name == QLatin1String("--flash-out")) {
            o.flashOutPath = value();
        } else if (name == QLatin1String("--nack-blocks")) {
            for (const QString& item : value().split(QLatin1Char(','), Qt::SkipEmptyParts))
                o.nackBlocks.push_back(ParseNackRule(item.trimmed()));
        } else if (name == QLatin1String("--pace-baud")) {
            o.paceBaud = int(number(0, 10000000));
        } else if (name == QLatin1String("--lowercase")) {
            o.lowercase = plain();
        } else if (name == QLatin1String("--cr")) {
            o.cr = plain();
        } else if (name == QLatin1String("--log")) {
            o.logPath = value();
        } else if (name == QLatin1String("--link")) {
            result.linkPath = value();
        } else if (name == QLatin1String("--silent")) {
            o.silent = plain();
        } else if (name == QLatin1String("--silent-after")) {
            o.silentAfter = int(number(0, 1 << 30));
        } else if (name == QLatin1String("--garbage")) {
            o.garbage = plain();
        } else if (name == QLatin1String("--short")) {
            o.shortReply = plain();
        } else if (name == QLatin1String("--long")) {
            o.longReply = plain();
        } else if (name == QLatin1String("--wrong-echo")) {
            o.wrongEcho = plain();
        } else if (name == QLatin1String("--drop-acks")) {
            o.dropAcks = attached ? int(number(1, 1 << 30)) : 1;
        } else if (name == QLatin1String("--delay-ms")) {
            o.delayMs = int(number(0, 60000));
        } else if (name == QLatin1String("--misstore")) {
            for (const QString& item : value().split(QLatin1Char(','), Qt::SkipEmptyParts))
                o.misstore.push_back(ParseMisstoreRule(item.trimmed()));
        } else if (name == QLatin1String("--garble")) {
            o.garble.push_back(ParseGarbleRule(value()));
        } else if (name == QLatin1String("--close-after")) {
            o.closeAfter = int(number(0, 1 << 30));
        } else {
            Refuse(QStringLiteral("unknown option '%1' (see --help)").arg(arguments[i]));
        }
    }
    if (o.shortReply && o.longReply)
        Refuse(QStringLiteral("--short and --long exclude each other"));
    return result;
}

QString SimUsage() {
    return QStringLiteral(
        "Usage: zelphorin-sim [options]\n"
        "A simulated ZELPHORIN 2.x controller on a pseudo-terminal. Prints the terminal's path\n"
        "as its first line and serves it until SIGINT or SIGTERM. Requests end with LF (CR or\n"
        "CR LF also do, for typing by hand); \"7F01\" saves, \"7F00\" restarts into the\n"
        "bootloader, which starts the application again after a gapless image from address 0.\n"
        "\n"
        "Controller:\n"
        "  --rows N            schedule rows (RowCount), 0 to 128; default 32\n"
        "  --seed N            seed of the weather and of the garbage fault (deterministic)\n"
        "  --state FILE        \"7F01\" saves the settings here; a start loads them\n"
        "  --no-water          no water temperature sensor (reads 32767)\n"
        "  --identify H,V      answer \"80\" with HardwareId H and FirmwareVariant V\n"
        "  --link PATH         create a symbolic link to the terminal (removed on exit)\n"
        "Bootloader:\n"
        "  --boot              start in the bootloader\n"
        "  --page-size N       PageSize reported by \"81\" (power of two); default 128\n"
        "  --flash-size N      FlashSize reported by \"81\"; default 32768\n"
        "  --flash-out FILE    write the flash image after each restart and on exit\n"
        "  --nack-blocks LIST  leave firmware blocks unacknowledged: ADDRESS (every try),\n"
        "                      ADDRESS:K (its first K tries) or #N (the N-th block line),\n"
        "                      separated by commas, e.g. 0x0400,0x0800:3,#5\n"
        "Line:\n"
        "  --pace-baud N       send and accept bytes no faster than N baud (10 bits a byte)\n"
        "  --lowercase         hex replies in lower case\n"
        "  --cr                end Get replies with CR instead of LF\n"
        "  --log FILE          record every line received and sent, one event a line:\n"
        "                      SECONDS KIND TEXT, KIND being IN, OUT, BAD, SKIP, NOTE or\n"
        "                      VIOLATION (\"12.345 IN 81\", \"12.346 OUT 8120...\\n\")\n"
        "Faults:\n"
        "  --silent            never answer\n"
        "  --silent-after N    stop answering after N lines\n"
        "  --garbage           answer random bytes of the reply's length\n"
        "  --short, --long     every reply one character short or one too long\n"
        "  --wrong-echo        Get replies echo another code\n"
        "  --drop-acks[=N]     drop every Set acknowledgement, or every N-th\n"
        "  --delay-ms N        answer N ms late\n"
        "  --close-after N     the terminal vanishes after N lines (answered), and the\n"
        "                      program ends\n"
        "  --misstore LIST     store a byte of a write one higher than sent: CODE:BYTE\n"
        "                      (CODE 02, 03, 05 or 06; BYTE of the payload), separated by\n"
        "                      commas, e.g. 02:3 stores Config.FanHigh + 1\n"
        "  --garble CODE:K     send the K-th reply to the Get CODE (80 to 83, 85 to 88)\n"
        "                      with a wrong echo, so that it fails; CODE:K+ the K-th and\n"
        "                      every later one; repeatable, e.g. --garble 83:3 spoils the\n"
        "                      third schedule row sent\n"
        "  --help              this text\n"
        "  --version           the version\n");
}

} // namespace zel
