// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "com/link_host.h"
#include "com/link_thread.h"
#include "discover/thd_discover.h"
#include "host/link_session.h"
#include "host/write_feedback.h"
#include "main/main_menu.h"

#include <QMainWindow>
#include <QProgressBar>
#include <QStringList>
#include <QTabWidget>

#include <functional>
#include <optional>

namespace zel {

class BalancePage;
class ChannelsPage;
class ChartPage;
class ConfigPage;
class ExpertPage;
class GeoPage;
class JmpPage;
class MessagesPage;
class MoonPage;
class Rc433Page;
class ScheduleHistory;
class SchedulePage;
class StatusPanels;
class VisualizePage;
class WeatherDelayPage;
class WeatherPage;

// The main window: menus, the fifteen pages, the status bar and the message log. It owns the
// device records and the link session (which port, when a link runs), keeps the settings of a
// controller it leaves, and brings its controls up to date when the link has read a block.
class TfrmPHORIN : public QMainWindow, public LinkHost, public DiscoverHost {
    Q_OBJECT
public:
    // parameters: the command line without the program name.
    explicit TfrmPHORIN(const QStringList& parameters, QWidget* parent = nullptr);
    ~TfrmPHORIN() override;

    // LinkHost: called on this thread, mostly by the link thread's synchronised calls.
    DeviceState& State() override { return state_; }
    void LogMessage(const QString& text) override;
    void SetStatusText(const QString& text) override;
    void SetTaskbarProgress(qint64 completed, qint64 total) override;
    void SetConnectedState(bool connected) override;
    void RefreshStatus() override;
    void RefreshControls() override;
    void RefreshExpertPage() override;
    void RefreshWeatherPages() override;
    void FillScheduleGrid() override;
    void RefreshChart() override;
    void RefreshHealth() override;
    void WriteStarted(uint32_t flag) override { writeFeedback_->WriteStarted(flag); }
    void RowWriteFinished(int row, bool ok) override { writeFeedback_->RowWriteFinished(row, ok); }
    QString ChooseFirmwareFile() override;
    void BeforeFirmwareTransfer(const QString& portName) override;
    void WriteFinished(uint32_t flag, bool ok) override;
    // DiscoverHost.
    void BringToFront() override;

    void ShowPage(QWidget* page);
    // The pages "Expert options", "White balance" and "JMP pin" appear and hide together.
    void SetExpertPagesShown(bool shown);
    void RefreshWeatherInfo();
    // False when the names could not be shown yet (a channel list is open).
    bool RefreshChannelNames();
    LinkSession& Link() { return *link_; }
    const LinkSession& Link() const { return *link_; }
    bool LinkRunning() const { return link_->Running(); }
    // The window must outlive every link thread: they call into it.
    bool LinkThreadsAlive() const { return link_->ThreadsAlive(); }
    bool Connected() const { return connected_; }
    // A firmware transfer is under way (its blocks are being sent).
    bool FirmwareUpdateRunning() const { return firmwareRunning_; }

    // Window state; read freely, changed only by the window.
    std::unique_ptr<TthdDiscover> DiscoverThread;
    QString ProgramDir;

    // For tests: the list of serial ports the window sees.
    void SetPortSource(PortSource source) { link_->SetPortSource(std::move(source)); }

    // The File menu's dialogs, replaceable by tests: a settings file path (empty when the user
    // cancelled) and a warning question answered Yes (true) or No.
    std::function<QString(const QString& title, bool save)> SettingsFileDialog;
    std::function<bool(const QString& text, const QString& caption)> Confirm;
    // The Bluetooth stack the installation thread uses, replaceable by tests.
    TthdDiscover::StackFactory BluetoothStack = TthdDiscover::CreateBluezStack;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildForm();
    void ConnectHandlers();
    void FormCreate(const QStringList& parameters);
    void ReadCommandLine(const QStringList& parameters, int& language);

    // Connection management.
    void ConnectLinkSession();
    void LeavingPort(const QString& port);
    bool RecordsComplete() const;
    void WriteAutomaticBackup(const QString& entry);
    bool KeepSettings(const QString& entry);
    void RestoreWindowPlace();
    void SaveWindowPlace();
    bool ConfirmImport(const QString& path);
    bool DiscoverRunning() const { return DiscoverThread && !DiscoverThread->Finished(); }
    void StartDiscover(bool installMode);

    // Handlers.
    void mnuConnectionClick();
    void mnuDisconnectClick();
    void mnuDiscoverClick();
    void mnuRemoveClick();
    void mnuFileClick();
    void mnuOptionsClick();
    void mnuRefreshClick();
    void mnuSetTimeDateClick();
    void mnuShowExpertClick();
    void mnuDebugClick();
    void memDblClick();
    void pcChange(int index);
    void OpenWebPage(const QString& path);
    void mnuAboutClick();
    bool FormMouseWheel(int delta);
    void mnuCHMClick(QAction* entry);
    void imgHealthResize();
    void mnuHealthClick();
    void mnuUndoClick();
    void mnuRedoClick();
    void EnableUndoEntries();

    // The Options menu (options_menu.cpp).
    void ConnectOptionsMenu();
    void ShowOptionTicks();
    void SelectMode(uint8_t mode);
    void mnuModeClick(uint8_t mode);
    void mnuAllClick(int level);
    void mnuStepBigClick();
    void mnuIRLearnClick();
    void mnuLanguageClick(QAction* entry);

    // The File menu (file_menu.cpp).
    void ConnectFileMenu();
    void mnuScheduleConfigExportClick();
    void mnuConfigImportClick();
    void mnuScheduleImportClick();
    void mnuFirmwareUpdateClick();
    QString AskSettingsFile(const QString& title, bool save);
    void ShowFirmwareProgress(qint64 completed, qint64 total);
    bool MayCloseDuringFirmwareUpdate();
    bool AskYesNo(const QString& text, const QString& caption);

    void DebugLog(const QString& text);
    void SetTitle(const QString& statusText);
    bool PageShown(QWidget* page) const;
    void SetPageShown(QWidget* page, bool shown);

    // Connects a signal to a handler that takes the Arguments (the signal's, or none); an
    // exception the handler throws becomes a log line.
    template <typename... Arguments, typename Sender, typename Signal, typename Handler>
    void OnSignal(Sender* sender, Signal signal, Handler handler);

    DeviceState state_;
    HostGate gate_;
    std::unique_ptr<LinkSession> link_; // ends before the records and the gate its links use
    bool connected_ = false;
    // The records were read completely from the controller now identified on CurrentPort.
    bool recordsFromDevice_ = false;
    // What the controls show of the configuration, so a read of the same values repaints nothing.
    std::optional<ConfigBlock> shownConfig_;
    QString shownModeText_;

    std::unique_ptr<MainMenu> menu_;
    ScheduleHistory* history_ = nullptr;
    QTabWidget* pc = nullptr;
    StatusPanels* sb = nullptr;
    WriteFeedback* writeFeedback_ = nullptr;
    static constexpr int FirmwareProgressSteps = 1000;
    QProgressBar* pbFirmware = nullptr;
    bool firmwareRunning_ = false;
    bool askingToClose_ = false;
    ChannelsPage* tsChannels = nullptr;
    QWidget* tsChannelsGL = nullptr;
    SchedulePage* tsSchedule = nullptr;
    VisualizePage* tsVisualize = nullptr;
    GeoPage* tsGeo = nullptr;
    ConfigPage* tsConfig = nullptr;
    ChartPage* tsTemp = nullptr;
    WeatherPage* tsWeather = nullptr;
    WeatherDelayPage* tsWeatherDelay = nullptr;
    MoonPage* tsMoon = nullptr;
    ExpertPage* tsExpert = nullptr;
    BalancePage* tsBalance = nullptr;
    JmpPage* tsJMP = nullptr;
    Rc433Page* tsRC433 = nullptr;
    MessagesPage* tsMessages = nullptr;
    QWidget* startPage_ = nullptr; // the page shown at start, until a read or the user moves on
};

template <typename... Arguments, typename Sender, typename Signal, typename Handler>
void TfrmPHORIN::OnSignal(Sender* sender, Signal signal, Handler handler) {
    connect(sender, signal, this, [this, handler](Arguments... arguments) {
        try {
            handler(arguments...);
        } catch (const std::exception& error) {
            LogMessage(QString::fromStdString(error.what()));
        }
    });
}

} // namespace zel
