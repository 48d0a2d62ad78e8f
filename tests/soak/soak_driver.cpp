// SPDX-License-Identifier: GPL-3.0-or-later
// soak_driver: the window (offscreen, in this process) and `zelphorin-cli monitor` against
// simulated controllers that misbehave at random, while changes are made the way a user makes
// them. Phases alternate: a controller with a random fault for a while, then a well-behaved one
// on which the window and the monitor must come back. Every controller's life is judged when it
// ends; the figures and the verdict are printed at the end, and the exit code is 1 when any
// check failed. scripts/soak runs it and looks for sanitizer reports in its output.
//
//     soak_driver --seconds 1800 [--seed N] [--work DIR]

#include "cfg/conversions.h"
#include "cfg/device_state.h"
#include "files/ini_document.h"
#include "files/settings_file.h"
#include "host/port_watch.h"
#include "main/frm_phorin.h"
#include "main/pages/channel_row.h"
#include "main/pages/channels_page.h"
#include "main/pages/config_page.h"
#include "main/pages/geo_page.h"
#include "main/pages/schedule_cells.h"
#include "main/pages/schedule_page.h"
#include "main/pages/visualize_page.h"
#include "main/views/image_box.h"
#include "main/views/scalable_image_view.h"
#include "sim/sim_controller.h"
#include "sim/sim_options.h"
#include "sim/wire_log.h"
#include "support/sim_process.h"
#include "support/wait.h"
#include "support/window_controls.h"
#include "support/window_settings.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <tuple>

using namespace zel;

namespace {

constexpr int Rows = 16;
constexpr int ReconnectTimeoutMs = 30000;
// A write ends (acknowledged or failed, after the re-identification) well within this, or is
// dropped when the link identifies a controller anew.
constexpr int WriteTimeoutMs = 60000;
// A write whose reply has come ends at once; the port must not stay away long enough for the
// links to give up (five attempts a second apart).
constexpr int InFlightMs = 2000;
constexpr int MinSecondsForMemoryVerdict = 120;
// A sanitizer's allocator holds freed memory back (AddressSanitizer's quarantine alone takes up
// to 256 MiB), so resident sizes say nothing there; LeakSanitizer judges leaks at the exit.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool MemoryMeaningful = false;
#else
constexpr bool MemoryMeaningful = true;
#endif

// The figures and failures of the whole run.
struct Figures {
    int faultPhases = 0;
    QMap<QString, int> faultsByKind;
    int vanishings = 0; // the port gone in the middle of a phase, and back
    int windowReconnects = 0;
    int monitorResumes = 0;
    int actions = 0;
    QMap<QString, int> actionsByKind;
    int writesAcknowledged = 0;
    int writesFailed = 0;
    int writesDropped = 0; // never started: the link reconnected and read everything anew
    int setLines = 0;
    int retries = 0;
    int blockChecks = 0;
    int backupChecks = 0;
    QStringList failures;

    void Fail(const QString& text) {
        failures.append(text);
        std::fprintf(stderr, "soak: FAILED: %s\n", qPrintable(text));
        std::fflush(stderr);
    }
};

Figures figures;

// The window and the links keep working meanwhile.
void ProcessEventsFor(int ms) {
    test::WaitUntil([] { return false; }, ms);
}

void Say(const QString& text) {
    std::printf("soak: %s\n", qPrintable(text));
    std::fflush(stdout);
}

// A random fault as the simulator's arguments; the same list drives the window's controller
// (in this process) and the monitor's (a zelphorin-sim process).
struct Fault {
    QString kind;
    QStringList arguments;
};

Fault RandomFault(std::mt19937& random) {
    auto pick = [&](int low, int high) {
        return QString::number(std::uniform_int_distribution<int>(low, high)(random));
    };
    switch (std::uniform_int_distribution<int>(0, 8)(random)) {
    case 0:
        return {QStringLiteral("silence"), {QStringLiteral("--silent-after"), pick(2, 150)}};
    case 1:
        return {QStringLiteral("garbage"), {QStringLiteral("--garbage")}};
    case 2:
        return {QStringLiteral("short replies"), {QStringLiteral("--short")}};
    case 3:
        return {QStringLiteral("long replies"), {QStringLiteral("--long")}};
    case 4:
        return {QStringLiteral("wrong replies"), {QStringLiteral("--wrong-echo")}};
    case 5:
        return {QStringLiteral("lost acknowledgements"),
                {QStringLiteral("--drop-acks=") + pick(1, 3)}};
    case 6:
        return {QStringLiteral("late replies"), {QStringLiteral("--delay-ms"), pick(100, 1500)}};
    case 7: {
        // One reply of a read spoiled part-way, a schedule row most often.
        static const char* const reads[] = {"81", "82", "83", "83", "83", "85", "86", "87"};
        const QString code = QLatin1String(reads[std::uniform_int_distribution<int>(0, 7)(random)]);
        return {QStringLiteral("a garbled reply"),
                {QStringLiteral("--garble"), code + QLatin1Char(':') + pick(1, 20)}};
    }
    default:
        return {QStringLiteral("port vanishing"), {QStringLiteral("--close-after"), pick(2, 150)}};
    }
}

// Resident sizes in KiB from /proc/PID/status; 0 when the process is gone.
struct Memory {
    qint64 rss = 0;
    qint64 peak = 0;
};

Memory MemoryOf(const QString& pid) {
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    Memory memory;
    if (!file.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() >= 2 && parts[0] == "VmRSS:")
            memory.rss = parts[1].toLongLong();
        else if (parts.size() >= 2 && parts[0] == "VmHWM:")
            memory.peak = parts[1].toLongLong();
    }
    return memory;
}

// The fields the driver changes, as a controller's blocks hold them.
struct Watched {
    int mode = 0;
    int lat = 0;
    int lon = 0;
    int fanHigh = 0;
    int randomInit = 0;
    int cloudStep = 0;

    bool operator==(const Watched& other) const {
        return mode == other.mode && lat == other.lat && lon == other.lon &&
               fanHigh == other.fanHigh && randomInit == other.randomInit &&
               cloudStep == other.cloudStep;
    }
    QString Text() const {
        return QStringLiteral("Mode=%1 Lat=%2 Lon=%3 FanHigh=%4 RandomInit=%5 CloudStep=%6")
            .arg(mode)
            .arg(lat)
            .arg(lon)
            .arg(fanHigh)
            .arg(randomInit)
            .arg(cloudStep);
    }
};

Watched WatchedOf(const ConfigBlock& config, const ExpertBlock& expert,
                  const ExpertWeatherBlock& weather) {
    return {config.Mode,    config.Lat,        config.Lon,
            config.FanHigh, expert.RandomInit, weather.CloudStep};
}

// The window, telling the driver when a write's transaction ends and when a controller has
// been identified (the link has then dropped every request it had not started).
class SoakWindow : public TfrmPHORIN {
public:
    using TfrmPHORIN::TfrmPHORIN;
    std::function<void(uint32_t, bool)> OnWriteFinished;
    std::function<void()> OnIdentified;

    void WriteFinished(uint32_t flag, bool ok) override {
        TfrmPHORIN::WriteFinished(flag, ok);
        if (OnWriteFinished)
            OnWriteFinished(flag, ok);
    }
    void RowWriteFinished(int row, bool ok) override {
        TfrmPHORIN::RowWriteFinished(row, ok);
        WriteFinished(rqSetSchedule, ok);
    }
    void SetConnectedState(bool connected) override {
        TfrmPHORIN::SetConnectedState(connected);
        if (connected && OnIdentified)
            OnIdentified();
    }
};

// What one controller acknowledged. Per block, the last acknowledged content must be in the
// controller, or the content of a later write whose acknowledgement went missing (it may have
// been stored all the same).
struct Acknowledged {
    std::optional<Watched> config, expert, weather;
    QList<Watched> configLater, expertLater, weatherLater;
};

class Soak {
public:
    Soak(int seconds, uint32_t seed, const QString& work)
        : seconds_(seconds), random_(seed), work_(work) {
        lastLevels_.fill(-1);
        lastMoon_.fill(-1);
        windowLink_ = QDir(work_).filePath(QStringLiteral("window-port"));
        cliLink_ = QDir(work_).filePath(QStringLiteral("cli-port"));
        importFile_ = QDir(work_).filePath(QStringLiteral("import.ini"));
    }

    int Run();

private:
    struct UserAction {
        QString kind;
        uint32_t writes;  // the requests it raises
        uint32_t changes; // those among them whose blocks surely differ from the last write
        std::function<bool()> run; // false: not possible now
        int weight = 1;            // how often it is picked, against the others
    };

    // ---- The controllers ----
    void StartWindowController(const QStringList& arguments);
    void AnnouncePortChange();
    void EndWindowController();
    void SaveWireLog();
    void StartCliController(const QStringList& arguments);
    void Gap();
    void Phase(const Fault& fault, int milliseconds, bool clean);
    void KeepControllersUp(const QStringList& arguments);

    // ---- The user ----
    std::vector<UserAction> Actions();
    void MaybeAct();
    bool PlaceOnTheMap();
    bool ClockFromTheMenu();
    bool ImportConfiguration();
    bool ReconnectFromTheMenu();
    bool ModeFromTheKeyboard();
    bool FanOnTheConfigurationPage();
    bool ChannelLevelFromTheKeyboard();
    bool ChannelLevelTyped();
    bool CloudsOnTheWeatherPage();
    bool MoonLevelFromTheKeyboard();
    bool RandomSeedTyped();
    bool ScheduleCellEdited();
    bool CurvePointDragged();
    bool UndoOrRedoFromTheMenu();
    bool SchedulePending() const;
    void NoteRow(int row);
    bool SentBefore(int row, const ScheduleRow& content) const;
    bool KeyOnChannelSlider(QWidget* page, const std::function<QSlider*(int)>& sliderOf,
                            const std::function<int(int)>& level,
                            std::array<int, ChannelCount>& lastSent);
    void PressOnSlider(QSlider* slider, int current, int lastSent);
    void Requested(int Watched::*field, int value);
    bool WaitForWrites(int timeoutMs);
    void OnWriteFinished(uint32_t flag, bool ok);
    void NoteWrites(uint32_t flags, bool acknowledged);

    // ---- The checks ----
    void CheckAcknowledged(const SimState& state);
    void CheckRetries(const QStringList& events);
    void CheckBackup(const QString& when);
    bool WaitReconnected();
    QString WindowLogTail() const;
    QString PendingWriteDetail() const;
    void SampleMemory(Memory& window, Memory& cli);
    int Report();

    int Rand(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    QAction* Entry(const char* name) { return window_->findChild<QAction*>(QLatin1String(name)); }

    const int seconds_;
    std::mt19937 random_;
    QString work_;
    QString windowLink_, cliLink_, importFile_;
    QElapsedTimer clock_;

    std::unique_ptr<SoakWindow> window_;
    std::unique_ptr<SimController> windowSim_;
    Acknowledged acknowledged_;
    uint32_t pendingWrites_ = 0;
    int generation_ = 0;       // the window's controllers so far
    int actionGeneration_ = 0; // the controller the pending writes went to
    QDeadlineTimer pendingDeadline_;
    uint32_t failedWrites_ = 0; // blocks whose last write failed
    std::optional<Watched> lastRequested_;
    std::array<int, ChannelCount> lastLevels_; // the channel levels last sent
    std::array<int, ChannelCount> lastMoon_;   // the moon levels last sent
    int lastCloudP_ = -1;
    std::vector<ScheduleRow> lastRows_; // each row as the user's last change of it left it
    qint64 nextActionMs_ = 0;
    QString lastAction_; // for the report of a write that never ended

    std::unique_ptr<test::SimProcess> cliSim_;
    QProcess cli_;
    qint64 cliLines_ = 0;
    QByteArray cliPartial_;

    Memory windowFirst_, cliFirst_, windowLast_, cliLast_;
    bool memorySampled_ = false;
};

// ---- The controllers ------------------------------------------------------------------------

// What the system's device events tell the window when an adapter comes or goes; the soak's
// port is a link in a folder of its own, which no device event reports.
void Soak::AnnouncePortChange() {
    if (window_)
        window_->findChild<PortWatch*>()->Look();
}

void Soak::StartWindowController(const QStringList& arguments) {
    SimOptions options =
        ParseSimArguments(arguments + QStringList{QStringLiteral("--rows"), QString::number(Rows)})
            .options;
    windowSim_ = std::make_unique<SimController>(WithSeed(options));
    const QString port = windowSim_->Start();
    // The window keeps one port name; a link that is swapped at once stands for a controller
    // unplugged and plugged in again.
    const QString fresh = windowLink_ + QStringLiteral(".new");
    QFile::remove(fresh);
    if (!QFile::link(port, fresh) || ::rename(qPrintable(fresh), qPrintable(windowLink_)) != 0)
        qFatal("soak: cannot link %s to %s", qPrintable(windowLink_), qPrintable(port));
    AnnouncePortChange();
    acknowledged_ = {};
    ++generation_;
}

// Judges the controller's life: what it acknowledged is in its blocks, no write was repeated.
void Soak::EndWindowController() {
    if (!windowSim_)
        return;
    // A write still in flight then ends against the next controller and is not counted there;
    // this one may or may not have stored it.
    if (!WaitForWrites(InFlightMs))
        NoteWrites(pendingWrites_, false);
    windowSim_->Stop();
    QFile::remove(windowLink_);
    AnnouncePortChange();
    const int failuresBefore = int(figures.failures.size());
    CheckAcknowledged(windowSim_->State());
    CheckRetries(WithoutTimes(windowSim_->WireLines()));
    if (figures.failures.size() > failuresBefore)
        SaveWireLog();
    windowSim_.reset();
}

// What crossed the line of a controller that failed a check, for reading afterwards.
void Soak::SaveWireLog() {
    QFile file(QDir(work_).filePath(QStringLiteral("wire-%1.log").arg(generation_)));
    if (file.open(QIODevice::WriteOnly))
        file.write(windowSim_->WireLines().join(QLatin1Char('\n')).toUtf8());
    Say(QStringLiteral("the wire log is in ") + file.fileName());
}

void Soak::StartCliController(const QStringList& arguments) {
    cliSim_ = std::make_unique<test::SimProcess>(
        test::BuiltSimProgram(),
        arguments + QStringList{QStringLiteral("--rows"), QString::number(Rows),
                                QStringLiteral("--link"), cliLink_});
    cliSim_->Process().setStandardErrorFile(QDir(work_).filePath(QStringLiteral("sim.stderr")),
                                            QIODevice::Append);
    if (!cliSim_->Start())
        figures.Fail(QStringLiteral("the monitor's simulator did not start: ") +
                     cliSim_->ErrorText());
}

// A port is away for a moment, as long as a person needs to plug a cable in again.
void Soak::Gap() {
    const int ms = Rand(200, 1500);
    ProcessEventsFor(ms);
}

// Restarts a controller whose port vanished (--close-after) after a gap, with the same fault.
void Soak::KeepControllersUp(const QStringList& arguments) {
    if (cliSim_ && cliSim_->Process().state() == QProcess::NotRunning) {
        cliSim_.reset();
        Gap();
        StartCliController(arguments);
    }
    if (windowSim_ && !windowSim_->IsServing()) {
        ++figures.vanishings;
        EndWindowController();
        Gap();
        StartWindowController(arguments);
    }
}

void Soak::Phase(const Fault& fault, int milliseconds, bool clean) {
    EndWindowController();
    if (cliSim_)
        cliSim_->Stop();
    cliSim_.reset();
    Gap();
    StartWindowController(fault.arguments);
    StartCliController(fault.arguments);

    const qint64 cliLinesBefore = cliLines_;
    if (clean && !WaitReconnected())
        return;
    const QDeadlineTimer end(milliseconds);
    while (!end.hasExpired()) {
        KeepControllersUp(fault.arguments);
        MaybeAct();
        ProcessEventsFor(100);
        if (!memorySampled_ && clock_.elapsed() >= qMin<qint64>(60000, seconds_ * 1000 / 3)) {
            SampleMemory(windowFirst_, cliFirst_);
            memorySampled_ = true;
        }
    }
    if (clean) {
        if (!WaitForWrites(int(pendingDeadline_.remainingTime())))
            figures.Fail(QStringLiteral("a write on a good controller did not end") +
                         PendingWriteDetail());
        const int failuresBefore = int(figures.failures.size());
        CheckAcknowledged(windowSim_->State());
        if (figures.failures.size() > failuresBefore)
            SaveWireLog();
        if (test::WaitUntil([&] { return cliLines_ > cliLinesBefore; }, ReconnectTimeoutMs))
            ++figures.monitorResumes;
        else
            figures.Fail(QStringLiteral("the monitor printed nothing after the fault"));
        if (cli_.state() != QProcess::Running)
            figures.Fail(
                QStringLiteral("the monitor has ended (exit code %1)").arg(cli_.exitCode()));
    }
    CheckBackup(clean ? QStringLiteral("after a clean phase")
                      : QStringLiteral("after a fault (") + fault.kind + QLatin1Char(')'));
}

// ---- The user -------------------------------------------------------------------------------

// Every change a user makes here differs from the one before it in the same block, so two
// equal write lines in a row on the wire can only be a repeated write.
std::vector<Soak::UserAction> Soak::Actions() {
    return {
        {QStringLiteral("place on the Geo page's map"), rqSetConfig, rqSetConfig,
         [this] { return PlaceOnTheMap(); }},
        {QStringLiteral("clock from the menu"), rqSetTime | rqSetConfig, rqSetTime,
         [this] { return ClockFromTheMenu(); }},
        {QStringLiteral("configuration import from the File menu"),
         rqSetConfig | rqSetExpert | rqSetExpertWeather,
         rqSetConfig | rqSetExpert | rqSetExpertWeather, [this] { return ImportConfiguration(); }},
        {QStringLiteral("disconnect and connect from the Connection menu"), 0, 0,
         [this] { return ReconnectFromTheMenu(); }},
        {QStringLiteral("mode from the keyboard"), rqSetConfig, rqSetConfig,
         [this] { return ModeFromTheKeyboard(); }},
        {QStringLiteral("fan speed on the Configuration page"), rqSetConfig, rqSetConfig,
         [this] { return FanOnTheConfigurationPage(); }},
        // Possible in Manual mode only: picked more often to be made as often as the others.
        {QStringLiteral("channel level from the keyboard"), rqSetChannels, rqSetChannels,
         [this] { return ChannelLevelFromTheKeyboard(); }, 3},
        {QStringLiteral("channel level typed"), rqSetChannels, rqSetChannels,
         [this] { return ChannelLevelTyped(); }, 3},
        {QStringLiteral("clouds per day on the Weather page"), rqSetConfig, rqSetConfig,
         [this] { return CloudsOnTheWeatherPage(); }},
        {QStringLiteral("moon level on the Moon page"), rqSetExpertWeather, rqSetExpertWeather,
         [this] { return MoonLevelFromTheKeyboard(); }},
        {QStringLiteral("random seed typed on the Expert page"), rqSetExpert, rqSetExpert,
         [this] { return RandomSeedTyped(); }},
        {QStringLiteral("schedule cell edited in the grid"), rqSetSchedule, rqSetSchedule,
         [this] { return ScheduleCellEdited(); }, 2},
        {QStringLiteral("curve point dragged on the visualisation"), rqSetSchedule, rqSetSchedule,
         [this] { return CurvePointDragged(); }, 2},
        {QStringLiteral("undo or redo from the Options menu"), rqSetSchedule, rqSetSchedule,
         [this] { return UndoOrRedoFromTheMenu(); }},
    };
}

void Soak::MaybeAct() {
    if (clock_.elapsed() < nextActionMs_)
        return;
    if (pendingWrites_ != 0) {
        if (!pendingDeadline_.hasExpired())
            return;
        figures.Fail(QStringLiteral("a write neither ended nor was dropped within %1 s")
                         .arg(WriteTimeoutMs / 1000) +
                     PendingWriteDetail());
        pendingWrites_ = 0;
        acknowledged_ = {};
    }
    if (!window_->Connected())
        return;
    const std::vector<UserAction> actions = Actions();
    int total = 0;
    for (const UserAction& candidate : actions)
        total += candidate.weight;
    int pick = Rand(0, total - 1);
    size_t chosen = 0;
    while (pick >= actions[chosen].weight)
        pick -= actions[chosen++].weight;
    const UserAction& action = actions[chosen];
    // A write that carries an unchanged block right after that block's write failed would look
    // like a repeated write on the wire.
    if ((action.writes & ~action.changes & failedWrites_) != 0 || !action.run())
        return;
    ++figures.actions;
    ++figures.actionsByKind[action.kind];
    lastAction_ = QStringLiteral("%1 s: %2").arg(clock_.elapsed() / 1000).arg(action.kind);
    pendingWrites_ = action.writes;
    actionGeneration_ = generation_;
    pendingDeadline_.setRemainingTime(WriteTimeoutMs);
    nextActionMs_ = clock_.elapsed() + Rand(100, 1500);
}

bool Soak::PlaceOnTheMap() {
    auto* page = window_->findChild<GeoPage*>(QStringLiteral("tsGeo"));
    window_->ShowPage(page);
    ScalableImageView* map = page->imgGeo;
    const ConfigBlock& config = window_->State().Config;
    const QSize size = map->viewport()->size();
    for (int attempt = 0; attempt < 50; ++attempt) {
        const QPoint point(Rand(0, size.width() - 1), Rand(0, size.height() - 1));
        // The map is 1000 × 500 pixels from 180° W, 90° N; a clear degree away from both the
        // current place and the last one sent.
        const QPoint picture = map->ControlToPicture(point);
        const int lat = qRound(900 - picture.y() * 3.6);
        const int lon = qRound(picture.x() * 3.6 - 1800);
        auto near = [&](int a, int b) { return qAbs(a - b) < 10; };
        if (near(lat, config.Lat) || near(lon, config.Lon) ||
            (lastRequested_ && (near(lat, lastRequested_->lat) || near(lon, lastRequested_->lon))))
            continue;
        QTest::mouseClick(map->viewport(), Qt::LeftButton, {}, point);
        Requested(&Watched::lat, config.Lat);
        Requested(&Watched::lon, config.Lon);
        return true;
    }
    return false;
}

bool Soak::ClockFromTheMenu() {
    QAction* entry = Entry("mnuSetTimeDate");
    if (!entry->isEnabled())
        return false;
    entry->trigger();
    return true;
}

// A configuration file with a new mode, place, fan speed, expert and weather value, read
// through the File menu as a user picks it in the dialog.
bool Soak::ImportConfiguration() {
    QAction* entry = Entry("mnuConfigImport");
    if (!entry->isEnabled())
        return false;
    struct ImportedKey {
        const char16_t* section;
        const char16_t* key;
        int Watched::*field;
        int low, high;
    };
    static const ImportedKey keys[] = {
        {u"Config", u"Mode", &Watched::mode, ModeManual, ModeGeo},
        {u"Config", u"Lat", &Watched::lat, -900, 900},
        {u"Config", u"Lon", &Watched::lon, -1800, 1800},
        {u"Config", u"FanHigh", &Watched::fanHigh, 0, 255},
        {u"Config", u"RandomInit", &Watched::randomInit, 0, 255},
        {u"Weather", u"CloudStep", &Watched::cloudStep, 1, 2000},
    };
    const DeviceState& state = window_->State();
    const Watched current = WatchedOf(state.Config, state.Expert, state.ExpertWeather);
    Watched next;
    IniDocument document;
    for (const ImportedKey& key : keys) {
        int value = current.*key.field;
        while (value == current.*key.field ||
               (lastRequested_ && value == (*lastRequested_).*key.field))
            value = Rand(key.low, key.high);
        next.*key.field = value;
        document.SetValue(key.section, key.key, QString::number(value));
    }
    document.Save(importFile_);
    window_->SettingsFileDialog = [this](const QString&, bool) { return importFile_; };
    window_->Confirm = [](const QString&, const QString&) { return true; };
    entry->trigger();
    lastRequested_ = next;
    return true;
}

void Soak::Requested(int Watched::*field, int value) {
    Watched requested = lastRequested_.value_or(Watched{});
    requested.*field = value;
    lastRequested_ = requested;
}

// Manual, Auto or Geo by its shortcut (Ctrl+F1, F2, F3), a mode other than the controller's
// and than the one last sent.
bool Soak::ModeFromTheKeyboard() {
    const int current = window_->State().Config.Mode;
    std::vector<int> modes;
    for (const int mode : {ModeManual, ModeAuto, ModeGeo})
        if (mode != current && !(lastRequested_ && mode == lastRequested_->mode))
            modes.push_back(mode);
    if (modes.empty() || !Entry("mnuModeManual")->isEnabled())
        return false;
    const int mode = modes[size_t(Rand(0, int(modes.size()) - 1))];
    QTest::keyClick(window_.get(), Qt::Key(Qt::Key_F1 + mode - ModeManual), Qt::ControlModifier);
    if (window_->State().Config.Mode != mode) {
        figures.Fail(QStringLiteral("Ctrl+F%1 did not select its mode").arg(mode + 1));
        return false;
    }
    Requested(&Watched::mode, mode);
    return true;
}

// One key on a focused slider: a step or a page either way, to a position other than the
// current one and the one last sent; none when no key would do.
void Soak::PressOnSlider(QSlider* slider, int current, int lastSent) {
    if (!slider->isEnabled())
        return;
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Up, slider->singleStep()},
                                            {Qt::Key_Down, -slider->singleStep()},
                                            {Qt::Key_PageUp, slider->pageStep()},
                                            {Qt::Key_PageDown, -slider->pageStep()}};
    std::vector<Qt::Key> useful;
    for (const auto& [key, step] : keys) {
        const int position = std::clamp(current + step, slider->minimum(), slider->maximum());
        if (position != current && position != lastSent)
            useful.push_back(key);
    }
    if (!useful.empty() && test::Focus(slider))
        QTest::keyClick(slider, useful[size_t(Rand(0, int(useful.size()) - 1))]);
}

// The fan's top speed by keys on its slider; the slider keeps it above the lower speeds, so
// a key against that limit changes nothing and is not counted.
bool Soak::FanOnTheConfigurationPage() {
    auto* page = window_->findChild<ConfigPage*>();
    window_->ShowPage(page);
    const int current = window_->State().Config.FanHigh;
    PressOnSlider(page->FanHigh.Slider, current, lastRequested_ ? lastRequested_->fanHigh : -1);
    const int now = window_->State().Config.FanHigh;
    if (now == current)
        return false;
    Requested(&Watched::fanHigh, now);
    return true;
}

// A key on a random channel's slider of a page; `level` reads the channel's value the slider
// edits. False when the value did not change.
bool Soak::KeyOnChannelSlider(QWidget* page, const std::function<QSlider*(int)>& sliderOf,
                              const std::function<int(int)>& level,
                              std::array<int, ChannelCount>& lastSent) {
    window_->ShowPage(page);
    const int channel = Rand(0, ChannelCount - 1);
    const int current = level(channel);
    PressOnSlider(sliderOf(channel), current, lastSent[size_t(channel)]);
    const int now = level(channel);
    if (now == current)
        return false;
    lastSent[size_t(channel)] = now;
    return true;
}

// A channel's level by keys on its slider, which only Manual mode enables.
bool Soak::ChannelLevelFromTheKeyboard() {
    auto* page = window_->findChild<ChannelsPage*>();
    return KeyOnChannelSlider(
        page, [page](int channel) { return page->Row(channel).trb; },
        [this](int channel) { return int(window_->State().Info.Channel[channel]); }, lastLevels_);
}

// A whole percentage pasted into a channel's edit, which only Manual mode enables.
bool Soak::ChannelLevelTyped() {
    auto* page = window_->findChild<ChannelsPage*>();
    window_->ShowPage(page);
    const int channel = Rand(0, ChannelCount - 1);
    QLineEdit* edit = page->Row(channel).edt;
    const int current = window_->State().Info.Channel[channel];
    const int percent = Rand(0, 100);
    const int level = int(std::nearbyint(percent * 40.96));
    if (!edit->isEnabled() || level == current || level == lastLevels_[size_t(channel)] ||
        !test::Paste(edit, QString::number(percent)))
        return false;
    if (window_->State().Info.Channel[channel] != level) {
        figures.Fail(QStringLiteral("typing %1 % stored level %2")
                         .arg(percent)
                         .arg(window_->State().Info.Channel[channel]));
        return false;
    }
    lastLevels_[size_t(channel)] = level;
    return true;
}

// A page of clouds per day more or fewer, or the slider's end, to a CloudP other than the
// current one and the one last sent (every controller starts with the same figures).
bool Soak::CloudsOnTheWeatherPage() {
    auto* slider = window_->findChild<QSlider*>(QStringLiteral("trbCloudCount"));
    window_->ShowPage(window_->findChild<QWidget*>(QStringLiteral("tsWeather")));
    const int before = window_->State().Config.CloudP;
    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_PageUp, slider->value() + slider->pageStep()},
        {Qt::Key_PageDown, slider->value() - slider->pageStep()},
        {Qt::Key_Home, slider->minimum()},
        {Qt::Key_End, slider->maximum()}};
    std::vector<Qt::Key> useful;
    for (const auto& [key, position] : keys) {
        const int64_t cloudP = CloudPFromCount(position);
        if (position >= slider->minimum() && position <= slider->maximum() && cloudP != before &&
            cloudP != lastCloudP_)
            useful.push_back(key);
    }
    if (!slider->isEnabled() || useful.empty() || !test::Focus(slider))
        return false;
    QTest::keyClick(slider, useful[size_t(Rand(0, int(useful.size()) - 1))]);
    const int now = window_->State().Config.CloudP;
    if (now == before)
        return false;
    lastCloudP_ = now;
    return true;
}

bool Soak::MoonLevelFromTheKeyboard() {
    return KeyOnChannelSlider(
        window_->findChild<QWidget*>(QStringLiteral("tsMoon")),
        [this](int channel) {
            return window_->findChild<QSlider*>(QStringLiteral("trbMoon%1").arg(channel));
        },
        [this](int channel) { return int(window_->State().ExpertWeather.MoonColor16[channel]); },
        lastMoon_);
}

bool Soak::RandomSeedTyped() {
    auto* edit = window_->findChild<QLineEdit*>(QStringLiteral("edtRandomInit"));
    window_->ShowPage(window_->findChild<QWidget*>(QStringLiteral("tsExpert")));
    const int current = window_->State().Expert.RandomInit;
    const int seed = Rand(0, 255);
    if (!edit->isEnabled() || seed == current ||
        (lastRequested_ && seed == lastRequested_->randomInit) ||
        !test::Paste(edit, QString::number(seed)))
        return false;
    Requested(&Watched::randomInit, seed);
    return true;
}

// ---- Schedule edits: grid, curves, undo and redo ----
//
// Each changes one row into a content other than the one the user's last change left in it,
// so its upload never repeats the row's last write line.

bool Soak::SchedulePending() const {
    const DeviceState& state = window_->State();
    return state.ScheduleDownloadPending() || state.Schedule.empty();
}

void Soak::NoteRow(int row) {
    if (size_t(row) >= lastRows_.size())
        lastRows_.resize(size_t(row) + 1, ScheduleRow{});
    lastRows_[size_t(row)] = window_->State().Schedule[size_t(row)];
}

bool Soak::SentBefore(int row, const ScheduleRow& content) const {
    return size_t(row) < lastRows_.size() &&
           std::memcmp(&lastRows_[size_t(row)], &content, sizeof content) == 0;
}

// A channel's level typed into its cell (F2, the new percentage pasted, Return), or a switch
// cell clicked.
bool Soak::ScheduleCellEdited() {
    auto* page = window_->findChild<SchedulePage*>(QStringLiteral("tsSchedule"));
    window_->ShowPage(page);
    if (SchedulePending())
        return false;
    DeviceState& state = window_->State();
    QTableWidget* grid = page->sgSchedule;
    const int row = Rand(0, int(state.Schedule.size()) - 1);
    ScheduleRow next = state.Schedule[size_t(row)];
    if (Rand(0, 2) == 0) {
        const int column = Rand(ColDisplay, ColStorms);
        next.Switch ^= uint8_t(0x20 << (column - ColDisplay));
        if (SentBefore(row, next))
            return false;
        grid->scrollTo(grid->model()->index(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(row, column)).center());
    } else {
        const int channel = Rand(0, ChannelCount - 1);
        const int percent = Rand(0, 100);
        next.Color16[channel] = int16_t(std::nearbyint(percent * 40.96));
        if (next.Color16[channel] == state.Schedule[size_t(row)].Color16[channel] ||
            SentBefore(row, next))
            return false;
        grid->setCurrentCell(row, ColFirstChannel + channel);
        if (!test::Press(grid, Qt::Key_F2))
            return false;
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (!editor || !test::Paste(editor, QString::number(percent)))
            return false;
        QTest::keyClick(editor, Qt::Key_Return);
    }
    if (std::memcmp(&state.Schedule[size_t(row)], &next, sizeof next) != 0) {
        figures.Fail(
            QStringLiteral("an edit of schedule row %1 in the grid did not take").arg(row));
        return false;
    }
    NoteRow(row);
    return true;
}

// A point of the visualised channel dragged to places until its row is new, then let go.
bool Soak::CurvePointDragged() {
    auto* page = window_->findChild<VisualizePage*>(QStringLiteral("tsVisualize"));
    window_->ShowPage(page);
    DeviceState& state = window_->State();
    const size_t rows = std::min(state.Schedule.size(), state.PointCache.size());
    if (SchedulePending() || rows == 0)
        return false;
    const PointCacheEntry& cached = state.PointCache[size_t(Rand(0, int(rows) - 1))];
    const QPoint from(qRound(cached[0]), qRound(cached[size_t(page->VisualisedChannel()) + 1]));
    QTest::mousePress(page->img, Qt::LeftButton, {}, from);
    const int row = page->DragPoint();
    if (row < 0) {
        QTest::mouseRelease(page->img, Qt::LeftButton, {}, from);
        return false;
    }
    const ScheduleRow start = state.Schedule[size_t(row)];
    QPoint to = from;
    for (int attempt = 0; attempt < 20; ++attempt) {
        to = QPoint(Rand(0, page->img->width() - 1), Rand(0, page->img->height() - 1));
        QTest::mouseMove(page->img, to);
        const ScheduleRow& now = state.Schedule[size_t(row)];
        if (std::memcmp(&now, &start, sizeof now) != 0 && !SentBefore(row, now))
            break;
        to = from;
        QTest::mouseMove(page->img, to);
    }
    QTest::mouseRelease(page->img, Qt::LeftButton, {}, to);
    NoteRow(row);
    return std::memcmp(&state.Schedule[size_t(row)], &start, sizeof start) != 0;
}

bool Soak::UndoOrRedoFromTheMenu() {
    std::vector<QAction*> entries;
    for (const char* name : {"mnuUndo", "mnuRedo"})
        if (Entry(name)->isEnabled())
            entries.push_back(Entry(name));
    if (entries.empty() || SchedulePending())
        return false;
    const std::vector<ScheduleRow> before = window_->State().Schedule;
    entries[size_t(Rand(0, int(entries.size()) - 1))]->trigger();
    const std::vector<ScheduleRow>& after = window_->State().Schedule;
    bool changed = false;
    for (size_t row = 0; row < std::min(before.size(), after.size()); ++row)
        if (std::memcmp(&before[row], &after[row], sizeof(ScheduleRow)) != 0) {
            NoteRow(int(row));
            changed = true;
        }
    if (!changed)
        figures.Fail(QStringLiteral("an undo or redo from the menu changed no row"));
    return changed;
}

// Disconnecting writes the backup, which must then be whole; connecting again is picked from
// the Connection menu's port list.
bool Soak::ReconnectFromTheMenu() {
    // The Connection menu sets its entries up as it opens.
    auto* connection = window_->findChild<QMenu*>(QStringLiteral("mnuConnection"));
    emit connection->aboutToShow();
    QAction* disconnect = Entry("mnuDisconnect");
    if (!disconnect->isEnabled())
        return false;
    disconnect->trigger();
    if (!test::WaitUntil([&] { return !window_->LinkRunning(); }, ReconnectTimeoutMs)) {
        figures.Fail(QStringLiteral("the link did not end after Disconnect; the window's log "
                                    "ends:\n") +
                     WindowLogTail());
        return true;
    }
    CheckBackup(QStringLiteral("after Disconnect"));
    emit connection->aboutToShow();
    const QString wanted = PortEntry({windowLink_, QStringLiteral("soak")});
    for (QAction* item : window_->findChild<QMenu*>(QStringLiteral("mnuConnect"))->actions())
        if (item->text() == wanted) {
            item->trigger();
            return true;
        }
    figures.Fail(QStringLiteral("the Connection menu does not offer ") + wanted);
    return true;
}

// A write in flight ends with its acknowledgement or its failure; one the link has not
// started yet is dropped when a controller is identified.
bool Soak::WaitForWrites(int timeoutMs) {
    return test::WaitUntil([&] { return pendingWrites_ == 0; }, timeoutMs);
}

void Soak::OnWriteFinished(uint32_t flag, bool ok) {
    pendingWrites_ &= ~flag;
    ok ? ++figures.writesAcknowledged : ++figures.writesFailed;
    if (ok)
        failedWrites_ &= ~flag;
    else
        failedWrites_ |= flag;
    if (actionGeneration_ == generation_) // not a write to the controller before
        NoteWrites(flag, ok);
}

// Nothing changes the records between the link taking a block and reporting its write, so the
// records hold what was sent.
void Soak::NoteWrites(uint32_t flags, bool acknowledged) {
    const DeviceState& state = window_->State();
    const Watched sent = WatchedOf(state.Config, state.Expert, state.ExpertWeather);
    auto note = [&](uint32_t block, std::optional<Watched>& last, QList<Watched>& later) {
        if ((flags & block) == 0)
            return;
        if (acknowledged) {
            last = sent;
            later.clear();
        } else {
            later.append(sent);
        }
    };
    note(rqSetConfig, acknowledged_.config, acknowledged_.configLater);
    note(rqSetExpert, acknowledged_.expert, acknowledged_.expertLater);
    note(rqSetExpertWeather, acknowledged_.weather, acknowledged_.weatherLater);
}

// ---- The checks -----------------------------------------------------------------------------

void Soak::CheckAcknowledged(const SimState& state) {
    const Watched held = WatchedOf(state.config, state.expert, state.expertWeather);
    auto check = [&](const char* block, const std::optional<Watched>& last,
                     const QList<Watched>& later, auto field) {
        if (!last)
            return;
        ++figures.blockChecks;
        if (field(held) == field(*last))
            return;
        for (const Watched& maybe : later)
            if (field(held) == field(maybe))
                return;
        figures.Fail(QStringLiteral("the controller's %1 block holds %2; acknowledged was %3")
                         .arg(QLatin1String(block), held.Text(), last->Text()));
    };
    check("Config", acknowledged_.config, acknowledged_.configLater,
          [](const Watched& w) { return std::tuple(w.mode, w.lat, w.lon, w.fanHigh); });
    check("Expert", acknowledged_.expert, acknowledged_.expertLater,
          [](const Watched& w) { return w.randomInit; });
    check("ExpertWeather", acknowledged_.weather, acknowledged_.weatherLater,
          [](const Watched& w) { return w.cloudStep; });
}

// A failed write is never repeated by the link. The user's changes make every write line
// differ from the one before it, so a write line equal to the previous one, which was not
// acknowledged at once, is a retry.
void Soak::CheckRetries(const QStringList& events) {
    static const QStringList writeCodes = {QStringLiteral("IN 01"), QStringLiteral("IN 02"),
                                           QStringLiteral("IN 03"), QStringLiteral("IN 05"),
                                           QStringLiteral("IN 06")};
    QString previous;
    bool previousAcknowledged = false;
    bool awaitingReply = false;
    for (const QString& event : events) {
        if (event.startsWith(QLatin1String("NOTE ")))
            continue;
        if (awaitingReply) {
            previousAcknowledged = event == QLatin1String("OUT K");
            awaitingReply = false;
        }
        if (!writeCodes.contains(event.left(5)))
            continue;
        ++figures.setLines;
        if (event == previous && !previousAcknowledged) {
            ++figures.retries;
            figures.Fail(QStringLiteral("a failed write was sent again: ") + event.left(60));
        }
        previous = event;
        previousAcknowledged = false;
        awaitingReply = true;
    }
}

void Soak::CheckBackup(const QString& when) {
    const QString path = QDir(window_->ProgramDir)
                             .filePath(QStringLiteral("Backup_") + BackupPortName(windowLink_) +
                                       QStringLiteral(".ini"));
    if (!QFileInfo::exists(path))
        return;
    ++figures.backupChecks;
    try {
        const IniDocument document = IniDocument::FromFile(path);
        for (const QString& section :
             {QStringLiteral("Config"), QStringLiteral("Weather"), QString::number(Rows - 1)})
            if (!document.HasSection(section))
                throw FileError(QStringLiteral("no section ") + section);
        DeviceState scratch;
        zel::ImportConfiguration(path, scratch);
    } catch (const FileError& error) {
        figures.Fail(
            QStringLiteral("the backup %1 is not whole %2: %3").arg(path, when, error.Message()));
    }
}

QString Soak::PendingWriteDetail() const {
    return QStringLiteral(" (%1, waiting for 0x%2); the window's log ends:\n")
               .arg(lastAction_)
               .arg(pendingWrites_, 0, 16) +
           WindowLogTail();
}

QString Soak::WindowLogTail() const {
    const QString log = window_->findChild<QPlainTextEdit*>(QStringLiteral("mem"))->toPlainText();
    const QStringList lines = log.split(QLatin1Char('\n'));
    return lines.mid(qMax(0, int(lines.size()) - 20)).join(QLatin1Char('\n'));
}

bool Soak::WaitReconnected() {
    const bool back = test::WaitUntil(
        [&] { return window_->Connected() && (window_->State().Snapshot() & rqRefreshAll) == 0; },
        ReconnectTimeoutMs);
    if (back)
        ++figures.windowReconnects;
    else
        figures.Fail(QStringLiteral("the window did not reconnect within %1 s; its log ends:\n")
                         .arg(ReconnectTimeoutMs / 1000) +
                     WindowLogTail());
    return back;
}

void Soak::SampleMemory(Memory& window, Memory& cli) {
    window = MemoryOf(QStringLiteral("self"));
    cli = MemoryOf(QString::number(cli_.processId()));
}

// ---- The run --------------------------------------------------------------------------------

int Soak::Run() {
    clock_.start();
    const Fault clean{QStringLiteral("none"), {}};
    StartWindowController(clean.arguments);
    StartCliController(clean.arguments);
    cli_.setStandardErrorFile(QDir(work_).filePath(QStringLiteral("cli.stderr")));
    QObject::connect(&cli_, &QProcess::readyReadStandardOutput, [this] {
        cliPartial_ += cli_.readAllStandardOutput();
        const qsizetype end = cliPartial_.lastIndexOf('\n');
        if (end >= 0) {
            cliLines_ += cliPartial_.left(end + 1).count('\n');
            cliPartial_.remove(0, end + 1);
        }
    });
    cli_.start(QStringLiteral(ZEL_BINARY_DIR "/src/zelphorin-cli"),
               {QStringLiteral("--port"), cliLink_, QStringLiteral("monitor")});
    if (!cli_.waitForStarted())
        figures.Fail(QStringLiteral("zelphorin-cli did not start: ") + cli_.errorString());

    window_ = std::make_unique<SoakWindow>(
        QStringList{windowLink_, QStringLiteral("-english"), QStringLiteral("-expert")});
    window_->ProgramDir = work_;
    window_->OnWriteFinished = [this](uint32_t flag, bool ok) { OnWriteFinished(flag, ok); };
    window_->OnIdentified = [this] {
        if (pendingWrites_ != 0)
            ++figures.writesDropped;
        pendingWrites_ = 0;
    };
    // The port list shows the port while it is there, as it does for an adapter.
    window_->SetPortSource([this] {
        return QFileInfo::exists(windowLink_)
                   ? QList<SerialPortInfo>{{windowLink_, QStringLiteral("soak")}}
                   : QList<SerialPortInfo>{};
    });
    window_->show();
    // Sliders take keys only with the focus, which only an active window gives.
    window_->activateWindow();
    if (!QTest::qWaitForWindowActive(window_.get()))
        figures.Fail(QStringLiteral("the window did not become active"));
    if (!WaitReconnected())
        return Report();
    // Every page drawn once before the first memory sample, which would count the pictures
    // of pages first shown after it as growth.
    auto* pages = window_->findChild<QTabWidget*>(QStringLiteral("pc"));
    for (int page = 0; page < pages->count(); ++page)
        window_->ShowPage(pages->widget(page));
    ProcessEventsFor(500);
    if (!test::WaitUntil([&] { return cliLines_ > 0; }, ReconnectTimeoutMs))
        figures.Fail(QStringLiteral("the monitor printed nothing on a good controller"));

    const qint64 endMs = qint64(seconds_) * 1000;
    while (clock_.elapsed() < endMs) {
        const qint64 left = endMs - clock_.elapsed();
        const Fault fault = RandomFault(random_);
        ++figures.faultPhases;
        ++figures.faultsByKind[fault.kind];
        Say(QStringLiteral("%1 s: fault: %2 %3")
                .arg(clock_.elapsed() / 1000)
                .arg(fault.kind, fault.arguments.join(QLatin1Char(' '))));
        Phase(fault, int(qMin<qint64>(left / 2, Rand(3000, 15000))), false);
        Phase(clean,
              int(qMax<qint64>(2000, qMin<qint64>(endMs - clock_.elapsed(), Rand(4000, 10000)))),
              true);
    }
    EndWindowController();
    SampleMemory(windowLast_, cliLast_);
    if (cli_.state() != QProcess::Running)
        figures.Fail(QStringLiteral("the monitor has ended (exit code %1)").arg(cli_.exitCode()));
    return Report();
}

int Soak::Report() {
    if (!memorySampled_) {
        SampleMemory(windowFirst_, cliFirst_);
        memorySampled_ = true;
    }
    cli_.terminate();
    if (!cli_.waitForFinished(5000))
        cli_.kill();
    if (window_) {
        QFile log(QDir(work_).filePath(QStringLiteral("window.log")));
        if (log.open(QIODevice::WriteOnly))
            log.write(
                window_->findChild<QPlainTextEdit*>(QStringLiteral("mem"))->toPlainText().toUtf8());
        window_->close();
    }
    window_.reset();
    if (cliSim_)
        cliSim_->Stop();

    Say(QStringLiteral("---- figures after %1 s ----").arg(clock_.elapsed() / 1000));
    QStringList kinds;
    for (auto kind = figures.faultsByKind.cbegin(); kind != figures.faultsByKind.cend(); ++kind)
        kinds << QStringLiteral("%1 %2").arg(kind.value()).arg(kind.key());
    Say(QStringLiteral("fault phases: %1 (%2); ports vanished mid-phase: %3")
            .arg(figures.faultPhases)
            .arg(kinds.join(QStringLiteral(", ")))
            .arg(figures.vanishings));
    Say(QStringLiteral("window reconnected: %1 of %2; monitor resumed: %3 of %4")
            .arg(figures.windowReconnects)
            .arg(figures.faultPhases + 1)
            .arg(figures.monitorResumes)
            .arg(figures.faultPhases));
    kinds.clear();
    for (auto kind = figures.actionsByKind.cbegin(); kind != figures.actionsByKind.cend(); ++kind)
        kinds << QStringLiteral("%1 %2").arg(kind.value()).arg(kind.key());
    Say(QStringLiteral("user changes: %1 (%2)")
            .arg(figures.actions)
            .arg(kinds.join(QStringLiteral(", "))));
    Say(QStringLiteral("writes: %1 acknowledged, %2 failed, %3 dropped on reconnecting; write "
                       "lines on the wire: %4, repeated: %5")
            .arg(figures.writesAcknowledged)
            .arg(figures.writesFailed)
            .arg(figures.writesDropped)
            .arg(figures.setLines)
            .arg(figures.retries));
    Say(QStringLiteral("acknowledged blocks checked against the controller: %1; backups "
                       "checked: %2")
            .arg(figures.blockChecks)
            .arg(figures.backupChecks));
    Say(QStringLiteral("peak resident KiB, window: %1 after the first minute, %2 at the end "
                       "(now %3); monitor: %4 after the first minute, %5 at the end (now %6)")
            .arg(windowFirst_.peak)
            .arg(windowLast_.peak)
            .arg(windowLast_.rss)
            .arg(cliFirst_.peak)
            .arg(cliLast_.peak)
            .arg(cliLast_.rss));
    if (!MemoryMeaningful) {
        Say(QStringLiteral("memory not judged: a sanitizer's allocator keeps freed memory"));
    } else if (seconds_ < MinSecondsForMemoryVerdict) {
        Say(QStringLiteral("memory not judged: the run is shorter than %1 s")
                .arg(MinSecondsForMemoryVerdict));
    } else {
        auto grown = [](const Memory& first, const Memory& last) {
            return last.peak * 10 > first.peak * 11;
        };
        if (grown(windowFirst_, windowLast_))
            figures.Fail(QStringLiteral("the window's peak resident size grew more than 10 %"));
        if (grown(cliFirst_, cliLast_))
            figures.Fail(QStringLiteral("the monitor's peak resident size grew more than 10 %"));
    }
    if (figures.faultPhases == 0)
        figures.Fail(QStringLiteral("no fault was injected: the run is too short"));
    if (figures.failures.isEmpty()) {
        Say(QStringLiteral("PASSED"));
        return 0;
    }
    Say(QStringLiteral("FAILED: %1 check(s)").arg(figures.failures.size()));
    for (const QString& failure : figures.failures)
        Say(QStringLiteral("  ") + failure);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // The offscreen platform says this whenever a window is shown; nothing else is hidden.
    static const QtMessageHandler standard = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.contains(QLatin1String("does not support propagateSizeHints")))
                standard(type, context, text);
        });
    QApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    int seconds = 60;
    std::optional<uint32_t> seed;
    QString work;
    while (!arguments.isEmpty()) {
        const QString name = arguments.takeFirst();
        const QString value = arguments.isEmpty() ? QString() : arguments.takeFirst();
        bool ok = !value.isEmpty();
        if (name == QLatin1String("--seconds"))
            seconds = value.toInt(&ok);
        else if (name == QLatin1String("--seed"))
            seed = value.toUInt(&ok);
        else if (name == QLatin1String("--work"))
            work = value;
        else
            ok = false;
        if (!ok || seconds <= 0) {
            std::fprintf(stderr, "usage: soak_driver [--seconds N] [--seed N] [--work DIR]\n");
            return 2;
        }
    }
    QTemporaryDir scratch;
    if (work.isEmpty())
        work = scratch.path();
    if (!QDir().mkpath(work)) {
        std::fprintf(stderr, "soak_driver: cannot create %s\n", qPrintable(work));
        return 2;
    }
    test::IsolateWindowSettings(work);
    test::ForgetRememberedPort();
    const uint32_t used = seed.value_or(std::random_device()());
    Say(QStringLiteral("%1 s, seed %2, work folder %3").arg(seconds).arg(used).arg(work));
    return Soak(seconds, used, work).Run();
}
