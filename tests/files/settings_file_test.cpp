// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/file_helpers.h"
#include "files/ini_document.h"
#include "files/settings_file.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

using namespace zel;

namespace {

template <class Record> void Fill(Record& record, uint8_t byte) {
    std::memset(static_cast<void*>(&record), byte, sizeof record);
}

template <class Record> bool SameBytes(const Record& a, const Record& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Distinct bytes everywhere, so a key written from one field and read into another shows.
void FillPattern(DeviceState& state, int rows, unsigned seed) {
    std::mt19937 random(seed);
    const auto fill = [&random](auto& record) {
        auto* bytes = reinterpret_cast<unsigned char*>(&record);
        for (size_t i = 0; i < sizeof record; ++i)
            bytes[i] = static_cast<unsigned char>(random());
    };
    state.Info.RowCount = uint8_t(rows);
    state.ResizeSchedule(rows);
    fill(state.Config);
    fill(state.Expert);
    fill(state.ExpertWeather);
    for (ScheduleRow& row : state.Schedule)
        fill(row);
}

bool SameRecords(const DeviceState& a, const DeviceState& b) {
    return SameBytes(a.Config, b.Config) && SameBytes(a.Expert, b.Expert) &&
           SameBytes(a.ExpertWeather, b.ExpertWeather) && a.Schedule.size() == b.Schedule.size() &&
           (a.Schedule.empty() || std::memcmp(a.Schedule.data(), b.Schedule.data(),
                                              a.Schedule.size() * sizeof(ScheduleRow)) == 0);
}

// Makes every file write of this process beyond `bytes` fail, as a full disk does; works
// for root too, unlike a read-only folder.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &Saved);
        rlimit limit = Saved;
        limit.rlim_cur = bytes;
        PreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, PreviousHandler);
    }

private:
    rlimit Saved{};
    void (*PreviousHandler)(int) = nullptr;
};

// The whole file of records whose every byte is 0xFF: signed keys read -1, unsigned ones
// their largest value, in the order the sections and keys are written.
const char* const AllOnesFile =
    "[Config]\nMode=255\nFlag=255\nFanLow=255\nFanHigh=255\nFanOff=255\n"
    "FanMode=255\nTempWaterLow=-1\nTempWaterHigh=-1\nLCDBLMin=255\n"
    "LCDBLMax=255\nTimeLapse=255\nLat=-1\nLon=-1\nJMPMode=255\n"
    "TempCoolLow=-1\nTempCoolHigh=-1\nTempHeatLow=-1\nTempHeatHigh=-1\n"
    "ChartMode=255\nChartInterval=65535\nChartScale=255\n"
    "PWMPrescaler=255\nTWIBitrate=255\nRandomInit=255\nLCDBLNight=255\n"
    "Language=255\nTempOffset=-1\nCloudTempWater=-1\nCloudTempBoard=-1\n"
    "BalanceSumRamp=-1\n"
    "\n"
    "[Weather]\nCloudP=65535\nCloudD=65535\nStormP=65535\nStormD=65535\n"
    "CloudStep=65535\nStormStep=65535\nCloudAlpha=255\nStormAlpha=255\n"
    "LightningP=65535\n"
    "Balance0=255\nMoonColor160=-1\nWeatherDelay0=255\nLightningMask0=255\n"
    "Balance1=255\nMoonColor161=-1\nWeatherDelay1=255\nLightningMask1=255\n"
    "Balance2=255\nMoonColor162=-1\nWeatherDelay2=255\nLightningMask2=255\n"
    "Balance3=255\nMoonColor163=-1\nWeatherDelay3=255\nLightningMask3=255\n"
    "BalanceSum=255\n"
    "\n"
    "[Names]\nColorName0=255\nColorName1=255\nColorName2=255\n"
    "ColorName3=255\n"
    "\n"
    "[RC5]\nUp=65535\nDown=65535\nLeft=65535\nRight=65535\n"
    "Previous=65535\nNext=65535\nSettings=65535\nStep=65535\n"
    "\n"
    "[TimeZone]\nStandardMonth=-1\nStandardDay=-1\nStandardHour=-1\n"
    "StandardDayOfWeek=-1\nDaylightMonth=-1\nDaylightDay=-1\n"
    "DaylightHour=-1\nDaylightDayOfWeek=-1\nBias=-1\n"
    "\n"
    "[0]\nHour=-1\nMinute=-1\nAlt=-1\nColor160=-1\nColor161=-1\n"
    "Color162=-1\nColor163=-1\nTimer=-1\nSwitch=255\n"
    "\n";

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT

private slots:
    void ExportWritesEveryKeyInOrderWithItsSignedness() {
        DeviceState state;
        state.ResizeSchedule(1);
        Fill(state.Config, 0xFF);
        Fill(state.Expert, 0xFF);
        Fill(state.ExpertWeather, 0xFF);
        Fill(state.Schedule[0], 0xFF);
        QTemporaryDir dir;
        const QString path = dir.filePath("all.ini");
        WriteSettingsFile(path, state);
        QCOMPARE(ReadAll(path), Crlf(AllOnesFile));
    }

    void ExportTakesEachKeyFromItsOwnField() {
        DeviceState state;
        state.ResizeSchedule(2);
        state.Config.Lat = -123;
        state.Config.ColorName[3] = 11;
        state.Expert.Bias = -60;
        state.Expert.Step = 0x1234;
        state.ExpertWeather.MoonColor16[2] = 1000;
        state.ExpertWeather.LightningMask[3] = 0x81;
        state.ExpertWeather.WeatherDelay[1] = 7;
        state.Schedule[1].Color16[1] = 2048;
        state.Schedule[1].Switch = 0x61;
        QTemporaryDir dir;
        const QString path = dir.filePath("fields.ini");
        WriteSettingsFile(path, state);
        const IniDocument file = IniDocument::FromFile(path);
        QCOMPARE(file.Value(u"Config", u"Lat"), QString("-123"));
        QCOMPARE(file.Value(u"Config", u"Lon"), QString("85"));
        QCOMPARE(file.Value(u"Names", u"ColorName3"), QString("11"));
        QCOMPARE(file.Value(u"TimeZone", u"Bias"), QString("-60"));
        QCOMPARE(file.Value(u"RC5", u"Step"), QString("4660"));
        QCOMPARE(file.Value(u"Weather", u"MoonColor162"), QString("1000"));
        QCOMPARE(file.Value(u"Weather", u"MoonColor163"), QString("0"));
        QCOMPARE(file.Value(u"Weather", u"LightningMask3"), QString("129"));
        QCOMPARE(file.Value(u"Weather", u"WeatherDelay1"), QString("7"));
        QCOMPARE(file.Value(u"1", u"Color161"), QString("2048"));
        QCOMPARE(file.Value(u"1", u"Color160"), QString("0"));
        QCOMPARE(file.Value(u"1", u"Switch"), QString("97"));
    }

    void ExportUpdatesAnOlderFileAndKeepsItsOtherRows() {
        QTemporaryDir dir;
        const QString path = dir.filePath("old.ini");
        QByteArray old = "; kept\r\n[Config]\r\nMode=4\r\nCustom=x\r\n\r\n[Mine]\r\na=b\r\n\r\n";
        for (int row = 0; row < 20; ++row)
            old += "[" + QByteArray::number(row) + "]\r\nHour=" + QByteArray::number(row) +
                   "\r\nMinute=59\r\n\r\n";
        WriteFile(path, old);

        DeviceState state;
        state.ResizeSchedule(12);
        for (ScheduleRow& row : state.Schedule)
            row.Hour = 23;
        state.Config.Mode = ModeGeo;
        WriteSettingsFile(path, state);

        const QByteArray written = ReadAll(path);
        QVERIFY(written.startsWith("; kept\r\n[Config]\r\nMode=2\r\nCustom=x\r\nFlag=0\r\n"));
        QVERIFY(written.contains("[Mine]\r\na=b\r\n\r\n"));
        const IniDocument file(written);
        for (int row = 0; row < 20; ++row) {
            const QString section = QString::number(row);
            QCOMPARE(file.Value(section, u"Hour"), row < 12 ? QString("23") : section);
            QCOMPARE(file.Value(section, u"Minute"), row < 12 ? QString("0") : QString("59"));
        }
        QVERIFY(!file.Value(u"20", u"Hour"));
    }

    void ImportOfOnlyModeChangesOnlyModeAndSendsAllThree() {
        DeviceState state;
        FillPattern(state, 3, 1);
        DeviceState before;
        FillPattern(before, 3, 1);
        state.Config.Mode = before.Config.Mode = 0;
        QTemporaryDir dir;
        const QString path = dir.filePath("mode.ini");
        WriteFile(path, "[Config]\r\nMode=1\r\n");
        ImportConfiguration(path, state);
        QCOMPARE(state.Config.Mode, uint8_t(ModeAuto));
        state.Config.Mode = 0;
        QVERIFY(SameRecords(state, before));
        QCOMPARE(state.Snapshot(), uint32_t(rqImportConfig));
    }

    void ImportOfASectionWithoutKeysStillSendsAllThree() {
        DeviceState state;
        QTemporaryDir dir;
        const QString path = dir.filePath("empty.ini");
        WriteFile(path, "[RC5]\r\n[0]\r\nHour=5\r\n");
        state.ResizeSchedule(1);
        ImportConfiguration(path, state);
        QCOMPARE(state.Schedule[0].Hour, int8_t(0)); // rows belong to the schedule import
        QCOMPARE(state.Snapshot(), uint32_t(rqImportConfig));
    }

    void ImportWithoutAnyOfItsSectionsIsRefused_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << RandomBytes(4096, 5).replace('[', '(');
        static const char16_t utf16[] = u"[Config]\r\nMode=1\r\n[0]\r\nHour=5\r\n";
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE") +
                                       QByteArray(reinterpret_cast<const char*>(utf16),
                                                  sizeof utf16 - sizeof utf16[0]);
        QTest::newRow("other sections") << QByteArray("[Settings]\nMode=1\n[40]\nHour=5\n");
    }
    void ImportWithoutAnyOfItsSectionsIsRefused() {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString path = dir.filePath("foreign.ini");
        WriteFile(path, text);
        DeviceState state;
        FillPattern(state, 3, 4);
        DeviceState before;
        FillPattern(before, 3, 4);
        QVERIFY_THROWS_EXCEPTION(FileError, ImportConfiguration(path, state));
        QVERIFY_THROWS_EXCEPTION(FileError, ImportSchedule(path, state));
        QVERIFY(SameRecords(state, before));
        QCOMPARE(state.Snapshot(), 0u);
        QCOMPARE(state.RowDirty[0], uint8_t(0));
        try {
            ImportConfiguration(path, state);
        } catch (const FileError& error) {
            QVERIFY2(error.Message().contains(path), qPrintable(error.Message()));
        }
    }

    void ImportCutsNumbersToTheFieldWidth_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("tempOffset");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("lat");
        QTest::addColumn<int>("cloudP");
        QTest::newRow("in range") << QByteArray("TempOffset=-5\nMode=2\nLat=-123\n[Weather]\n"
                                                "CloudP=14")
                                  << -5 << 2 << -123 << 14;
        QTest::newRow("too wide") << QByteArray("TempOffset=251\nMode=300\nLat=40000\n[Weather]\n"
                                                "CloudP=-1")
                                  << -5 << 44 << 40000 - 65536 << 65535;
        QTest::newRow("hex") << QByteArray("TempOffset=$FB\nMode=0x0B\nLat=0XFFFF\n[Weather]\n"
                                           "CloudP=$10000")
                             << -5 << 11 << -1 << 0;
        QTest::newRow("absurd") << QByteArray("TempOffset=-99999999999999999999999999999999\n"
                                              "Mode=99999999999999999999999999999999\n"
                                              "Lat=99999999999999999999999999999999\n"
                                              "[Weather]\nCloudP=-65536")
                                << 1 << 255 << -1 << 0;
    }

    void ImportCutsNumbersToTheFieldWidth() {
        QFETCH(QByteArray, text);
        QFETCH(int, tempOffset);
        QFETCH(int, mode);
        QFETCH(int, lat);
        QFETCH(int, cloudP);
        QTemporaryDir dir;
        const QString path = dir.filePath("wide.ini");
        WriteFile(path, "[Config]\n" + text + "\n[Names]\nColorName0=0x0B\n");
        DeviceState state;
        ImportConfiguration(path, state);
        QCOMPARE(int(state.Expert.TempOffset), tempOffset);
        QCOMPARE(int(state.Config.Mode), mode);
        QCOMPARE(int(state.Config.Lat), lat);
        QCOMPARE(int(state.Config.CloudP), cloudP);
        QCOMPARE(state.Config.ColorName[0], uint8_t(11)); // RoyalBlue
    }

    void ImportSkipsWhatIsNotANumber() {
        DeviceState state;
        FillPattern(state, 0, 2);
        DeviceState before;
        FillPattern(before, 0, 2);
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.ini");
        WriteFile(path, "[config]\nMODE=abc\nFlag=\nFanLow=1.5\nFanHigh\nLat=12 34\nLon=0x\n"
                        "[Config]\nFanOff=3\n"            // a second "Config" is not read
                        "[Weather]\nCloudP=7\nCloudP=8\n" // the first of two keys wins
                        "[TIMEZONE]\nbias=-60\n");
        ImportConfiguration(path, state);
        QCOMPARE(int(state.Config.CloudP), 7); // packed fields are compared by value
        QCOMPARE(int(state.Expert.Bias), -60);
        state.Config.CloudP = before.Config.CloudP;
        state.Expert.Bias = before.Expert.Bias;
        QVERIFY(SameRecords(state, before));
    }

    void ImportOfGarbageTakesOnlyWhatIsValid() {
        const QByteArray text =
            RandomBytes(512 << 10, 11) + "\n[Config]\nMode=2\n[3]\nColor160=2048\n";
        QTemporaryDir dir;
        const QString path = dir.filePath("garbage.ini");
        WriteFile(path, text);
        DeviceState state;
        state.ResizeSchedule(4);
        ImportConfiguration(path, state);
        QVERIFY(ImportSchedule(path, state));
        DeviceState expected;
        expected.ResizeSchedule(4);
        expected.Config.Mode = ModeGeo;
        expected.Schedule[3].Color16[0] = 2048;
        QVERIFY(SameRecords(state, expected));
    }

    void UnreadableFileChangesNothing() {
        QTemporaryDir dir;
        DeviceState state;
        FillPattern(state, 2, 3);
        DeviceState before;
        FillPattern(before, 2, 3);
        QVERIFY_THROWS_EXCEPTION(FileError,
                                 ImportConfiguration(dir.filePath("missing.ini"), state));
        QVERIFY_THROWS_EXCEPTION(FileError, ImportSchedule(dir.path(), state));
        QVERIFY(SameRecords(state, before));
        QCOMPARE(state.Snapshot(), 0u);
    }

    void ScheduleImportReadsTheCurrentRowsAndMarksThemAll() {
        DeviceState state;
        FillPattern(state, 4, 4);
        DeviceState before;
        FillPattern(before, 4, 4);
        QTemporaryDir dir;
        const QString path = dir.filePath("rows.ini");
        WriteFile(path, "[Config]\nMode=4\n"
                        "[0]\nHour=-1\nSwitch=0x1E0\n"
                        "[3]\nColor160=2048\n"
                        "[4]\nHour=5\n[127]\nHour=5\n[100000]\nHour=5\n");
        QVERIFY(ImportSchedule(path, state));
        QCOMPARE(state.Schedule.size(), size_t(4));
        QCOMPARE(state.Schedule[0].Hour, int8_t(-1));
        QCOMPARE(state.Schedule[0].Switch, uint8_t(0xE0));
        QCOMPARE(int(state.Schedule[3].Color16[0]), 2048); // 50 % for channel W
        state.Schedule[0].Hour = before.Schedule[0].Hour;
        state.Schedule[0].Switch = before.Schedule[0].Switch;
        state.Schedule[3].Color16[0] = before.Schedule[3].Color16[0];
        QVERIFY(SameRecords(state, before)); // Config untouched as well
        QCOMPARE(state.RowDirty, std::vector<uint8_t>(4, 1));
        QCOMPARE(state.Snapshot(), uint32_t(rqSetSchedule));
    }

    void ScheduleImportIsRefusedWhileADownloadIsPending() {
        DeviceState state;
        state.ResizeSchedule(2);
        state.Raise(rqGetSchedule);
        QTemporaryDir dir;
        const QString path = dir.filePath("rows.ini");
        WriteFile(path, "[1]\nHour=5\n");
        QVERIFY(!ImportSchedule(path, state));
        QCOMPARE(state.Schedule[1].Hour, int8_t(0));
        QCOMPARE(state.RowDirty, std::vector<uint8_t>(2, 0));
        QCOMPARE(state.Snapshot(), uint32_t(rqGetSchedule));
    }

    void ExportImportExportGivesTheSameFile() {
        DeviceState source;
        FillPattern(source, 12, 5);
        QTemporaryDir dir;
        const QString first = dir.filePath("first.ini");
        WriteSettingsFile(first, source);

        DeviceState copy;
        copy.ResizeSchedule(12);
        ImportConfiguration(first, copy);
        QVERIFY(ImportSchedule(first, copy));
        QVERIFY(SameRecords(copy, source));
        const QString second = dir.filePath("second.ini");
        WriteSettingsFile(second, copy);
        QCOMPARE(ReadAll(second), ReadAll(first));
    }

    void BackupNames_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("file");
        QTest::newRow("bare port") << "COM12"
                                   << "Backup_COM12.ini";
        QTest::newRow("entry with device") << "COM5 (\\Device\\Serial0)"
                                           << "Backup_COM5.ini";
        QTest::newRow("device path") << "/dev/ttyUSB0 (FTDI)"
                                     << "Backup_ttyUSB0.ini";
        QTest::newRow("climbing path") << "../../x"
                                       << "Backup_x.ini";
        QTest::newRow("windows path") << "..\\..\\y (z)"
                                      << "Backup_y.ini";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("leading blank") << " COM3 (x)"
                                       << "";
        QTest::newRow("only a folder") << "/dev/"
                                       << "";
        QTest::newRow("parent") << ".."
                                << "";
        QTest::newRow("dot") << "/tmp/."
                             << "";
    }

    void BackupNames() {
        QFETCH(QString, entry);
        QFETCH(QString, file);
        QTemporaryDir dir;
        DeviceState state;
        const BackupResult result = WriteBackup(entry, state, dir.path());
        QVERIFY2(result.Error.isEmpty(), qPrintable(result.Error));
        const QStringList written = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        if (file.isEmpty()) {
            QVERIFY(result.Path.isEmpty());
            QVERIFY(written.isEmpty());
        } else {
            QCOMPARE(result.Path, dir.filePath(file));
            QCOMPARE(written, QStringList{file});
        }
    }

    // A build tree or an unpacked folder keeps its backups beside the program; the folders of
    // installed programs never do, even for root, who may write there: any bin folder (an
    // install prefix's, on PATH or not) and any folder on PATH, wherever the build meant to go.
    void BackupsStayOutOfTheFoldersOfInstalledPrograms() {
        QTemporaryDir dir;
        const QString onPath = dir.filePath(QStringLiteral("tools"));
        const QString prefixBin = dir.filePath(QStringLiteral("prefix/bin"));
        QVERIFY(QDir().mkpath(onPath) && QDir().mkpath(prefixBin));
        const auto restorePath = qScopeGuard([path = qgetenv("PATH")] { qputenv("PATH", path); });
        qputenv("PATH", "/usr/bin:" + QFile::encodeName(onPath) + ":/bin");
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        const std::pair<QString, QString> cases[] = {
            {dir.path(), dir.path()},
            {QStringLiteral("/usr/bin"), data},
            {QStringLiteral("/usr/local/bin"), data},
            {onPath, data},
            {prefixBin, data},
            {dir.filePath(QStringLiteral("gone")), data},
        };
        for (const auto& [programDir, expected] : cases)
            QCOMPARE(SettingsDirectory(programDir), expected);
    }

    void BackupReplacesTheKeysOfThePreviousBackup() {
        QTemporaryDir dir;
        DeviceState state;
        state.ResizeSchedule(2);
        state.Config.Mode = ModeAuto;
        QVERIFY(WriteBackup("COM3", state, dir.path()).Error.isEmpty());
        state.Config.Mode = ModeGeo;
        state.ResizeSchedule(1);
        const BackupResult result = WriteBackup("COM3 (x)", state, dir.path());
        QVERIFY(result.Error.isEmpty());
        const IniDocument file = IniDocument::FromFile(result.Path);
        QCOMPARE(file.Value(u"Config", u"Mode"), QString("2"));
        QCOMPARE(file.Value(u"1", u"Hour"), QString("0")); // the older row stays
    }

    void ReplacedBackupIsKeptUntilADifferentOneFollows() {
        QTemporaryDir dir;
        DeviceState state;
        state.ResizeSchedule(2);
        state.Config.Mode = ModeAuto;
        const QString path = WriteBackup("COM3", state, dir.path()).Path;
        const QString previous = path + ".1";
        QVERIFY(!QFile::exists(previous));
        const QByteArray good = ReadAll(path);

        state.Config.Mode = ModeGeo;
        QVERIFY(WriteBackup("COM3", state, dir.path()).Error.isEmpty());
        QCOMPARE(ReadAll(previous), good);
        QCOMPARE(IniDocument::FromFile(path).Value(u"Config", u"Mode"), QString("2"));
        // The same settings once more: the last different backup stays.
        QVERIFY(WriteBackup("COM3", state, dir.path()).Error.isEmpty());
        QCOMPARE(ReadAll(previous), good);
    }

    void FailedWriteIsReportedAndLeavesTheOldFileWhole() {
        QTemporaryDir dir;
        DeviceState state;
        state.ResizeSchedule(3);
        const QString path = dir.filePath("Backup_COM3.ini");
        const QByteArray old = "[Config]\r\nMode=4\r\n\r\n";
        WriteFile(path, old);
        BackupResult result;
        {
            const FileSizeLimit diskFull(100);
            result = WriteBackup("COM3", state, dir.path());
        }
        QCOMPARE(result.Path, path);
        QVERIFY(!result.Error.isEmpty());
        QVERIFY2(result.Error.contains(QDir::toNativeSeparators(path)), qPrintable(result.Error));
        QCOMPARE(ReadAll(path), old);
        // No temporary file left behind; the old backup was kept before the write failed.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"Backup_COM3.ini", "Backup_COM3.ini.1"}));

        const BackupResult lost = WriteBackup("COM3", state, dir.filePath("gone"));
        QVERIFY(!lost.Error.isEmpty());
        QVERIFY_THROWS_EXCEPTION(FileError, WriteSettingsFile(dir.filePath("gone/x.ini"), state));
    }

    void ReadOnlyFolderLeavesTheOldFileWhole() {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders; the file size limit case covers this");
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.ini");
        const QByteArray old = "[Config]\r\nMode=4\r\n\r\n";
        WriteFile(path, old);
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        DeviceState state;
        QVERIFY_THROWS_EXCEPTION(FileError, WriteSettingsFile(path, state));
        QVERIFY(QFile::setPermissions(dir.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(ReadAll(path), old);
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "settings_file_test.moc"
