// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/frm_phorin.h"

#include "cfg/device_actions.h"
#include "com/firmware_file.h"
#include "files/settings_file.h"
#include "host/command_line.h"
#include "host/launcher_progress.h"
#include "host/power_watch.h"
#include "host/status_texts.h"
#include "lang/date_time_text.h"
#include "lang/translate.h"
#include "main/apply_language.h"
#include "main/pages/balance_page.h"
#include "main/pages/channels_page.h"
#include "main/pages/chart_page.h"
#include "main/pages/config_page.h"
#include "main/pages/expert_page.h"
#include "main/pages/geo_page.h"
#include "main/pages/jmp_page.h"
#include "main/pages/messages_page.h"
#include "main/pages/moon_page.h"
#include "main/pages/rc433_page.h"
#include "main/pages/schedule_history.h"
#include "main/pages/schedule_page.h"
#include "main/pages/visualize_page.h"
#include "main/pages/weather_delay_page.h"
#include "main/pages/weather_page.h"
#include "main/status_panels.h"
#include "main/views/channel_colors.h"
#include "main/widgets/file_dialog.h"
#include "main/widgets/range_mark.h"
#include "main/widgets/widgets.h"
#include "main/zel_application.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QUrl>

#include <cstring>

namespace zel {

namespace {
const QString ApplicationTitle = QStringLiteral("ZELPHORIN 2.x.0");
// The maker's address and manual site: placeholders under the reserved ".example" domain.
const QString MakerAddress = QStringLiteral("www.zelphorin.example");
const QString ManualSite = QStringLiteral("https://wiki.zelphorin.example");
const QString GeometryValue = QStringLiteral("Window/Geometry");
const QString PageValue = QStringLiteral("Window/Page");
constexpr int DesignWidth = 1000;
constexpr int DesignHeight = 640;
// Below this the pages scroll; small enough for a 1024 × 600 screen with its panels.
constexpr int LeastWidth = 640;
constexpr int LeastHeight = 400;
constexpr int ExitWaitMs = 500;
constexpr int16_t DefaultLatitudeTenths = 501; // 50.1° north
constexpr int16_t DefaultLongitudeTenths = 85; // 8.5° east

QString OneLine(QString text) {
    return text.replace(QLatin1String("\r\n"), QLatin1String(" "))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}
} // namespace

TfrmPHORIN::TfrmPHORIN(const QStringList& parameters, QWidget* parent)
    : QMainWindow(parent), gate_(this), link_(std::make_unique<LinkSession>(*this, gate_, this)) {
    BuildForm();
    ConnectHandlers();
    FormCreate(parameters);
}

TfrmPHORIN::~TfrmPHORIN() {
    gate_.Close();
    DiscoverThread.reset(); // ends at once: nothing answers it any more
    // The program ends without destroying the window while a thread is still alive; here the
    // threads have ended or end at their next check, as nothing answers them any more.
    link_.reset();
    menu_.reset();
}

// The form as designed: every control, caption in English until the language is applied.
void TfrmPHORIN::BuildForm() {
    setObjectName(QStringLiteral("frmPHORIN"));
    menu_ = std::make_unique<MainMenu>(this);
    // Undo and redo take the grid's road, as the user's edits do.
    history_ = new ScheduleHistory(
        state_, [this](const ScheduleChange& change) { tsSchedule->ApplyScheduleChange(change); },
        this);
    pc = new QTabWidget(this);
    pc->setObjectName(QStringLiteral("pc"));
    tsChannels = new ChannelsPage(state_, pc);
    tsChannelsGL = new QWidget(pc);
    tsChannelsGL->setObjectName(QStringLiteral("tsChannelsGL"));
    tsSchedule = new SchedulePage(state_, *history_, pc);
    tsVisualize = new VisualizePage(state_, *history_, pc);
    tsGeo = new GeoPage(state_, pc);
    tsConfig = new ConfigPage(state_, pc);
    tsTemp = new ChartPage(state_, pc);
    tsWeather = new WeatherPage(state_, pc);
    tsWeatherDelay = new WeatherDelayPage(state_, pc);
    tsMoon = new MoonPage(state_, pc);
    tsExpert = new ExpertPage(state_, pc);
    tsBalance = new BalancePage(state_, pc);
    tsJMP = new JmpPage(state_, pc);
    tsRC433 = new Rc433Page(pc);
    tsMessages = new MessagesPage(pc);
    const std::pair<QWidget*, const char*> pages[] = {{tsChannels, "Channels %s"},
                                                      {tsChannelsGL, "Channels G-L"},
                                                      {tsSchedule, "Schedule"},
                                                      {tsVisualize, "Visualization"},
                                                      {tsGeo, "Geo"},
                                                      {tsConfig, "Configuration"},
                                                      {tsTemp, "Chart"},
                                                      {tsWeather, "Weather"},
                                                      {tsWeatherDelay, "Delays"},
                                                      {tsMoon, "Moon"},
                                                      {tsExpert, "Expert options"},
                                                      {tsBalance, "White balance"},
                                                      {tsJMP, "JMP pin"},
                                                      {tsRC433, "433 MHz"},
                                                      {tsMessages, "Messages"}};
    const QList<QWidget*> wide = {tsSchedule, tsVisualize, tsGeo, tsTemp, tsMessages};
    for (const auto& [page, caption] : pages) {
        if (page->layout())
            ScrollWhenTooSmall(page, !wide.contains(page));
        pc->addTab(page, QString::fromUtf8(caption));
    }
    setCentralWidget(pc);
    sb = new StatusPanels(this);
    setStatusBar(sb);
    writeFeedback_ = new WriteFeedback(state_, this);
    pbFirmware = new QProgressBar(sb);
    pbFirmware->setObjectName(QStringLiteral("pbFirmware"));
    pbFirmware->setRange(0, FirmwareProgressSteps);
    pbFirmware->hide();
    sb->addPermanentWidget(pbFirmware);
}

void TfrmPHORIN::ConnectHandlers() {
    OnSignal(menu_->mnuConnection, &QMenu::aboutToShow, [this] { mnuConnectionClick(); });
    OnSignal(menu_->mnuDisconnect, &QAction::triggered, [this] { mnuDisconnectClick(); });
    OnSignal(menu_->mnuDiscover, &QAction::triggered, [this] { mnuDiscoverClick(); });
    OnSignal(menu_->mnuRemove, &QAction::triggered, [this] { mnuRemoveClick(); });
    OnSignal(menu_->mnuFile, &QMenu::aboutToShow, [this] { mnuFileClick(); });
    OnSignal(menu_->mnuExit, &QAction::triggered, [this] { close(); });
    OnSignal(menu_->mnuOptions, &QMenu::aboutToShow, [this] { mnuOptionsClick(); });
    OnSignal(menu_->mnuRefresh, &QAction::triggered, [this] { mnuRefreshClick(); });
    OnSignal(menu_->mnuDebug, &QAction::triggered, [this] { mnuDebugClick(); });
    OnSignal(menu_->mnuHardware, &QAction::triggered,
             [this] { OpenWebPage(QStringLiteral("/doku.php?id=zelphorin2x:hardware")); });
    OnSignal(menu_->mnuSoftware, &QAction::triggered,
             [this] { OpenWebPage(QStringLiteral("/doku.php?id=zelphorin2x:software")); });
    OnSignal(menu_->mnuFAQ, &QAction::triggered,
             [this] { OpenWebPage(QStringLiteral("/doku.php?id=zelphorin2x:faq")); });
    OnSignal(menu_->mnuAbout, &QAction::triggered, [this] { mnuAboutClick(); });
    OnSignal(tsMessages->mem, &LogView::DoubleClicked, [this] { memDblClick(); });
    connect(tsMessages->mem, &LogView::SaveFailed, this,
            [this](const QString& message) { LogMessage(message); });
    OnSignal(menu_->mnuSetTimeDate, &QAction::triggered, [this] { mnuSetTimeDateClick(); });
    ConnectFileMenu();
    ConnectOptionsMenu();
    OnSignal(tsChannels, &ChannelsPage::ChannelNamesChanged, [this] { RefreshChannelNames(); });
    OnSignal(tsSchedule, &SchedulePage::ChannelNamesChanged, [this] { RefreshChannelNames(); });
    OnSignal(tsSchedule, &SchedulePage::ScheduleEdited, [this] { tsVisualize->Redraw(); });
    connect(tsGeo, &GeoPage::StatusPanelText, this,
            [this](const QString& text) { sb->SetPanelText(StatusPanel::Status, text); });
    connect(tsGeo, &GeoPage::ConfigPageWanted, this, [this] { ShowPage(tsConfig); });
    SetRefusalLog(this, [this](const QString& text) { LogMessage(text); });
    connect(writeFeedback_, &WriteFeedback::LogLine, this, &TfrmPHORIN::LogMessage);
    connect(writeFeedback_, &WriteFeedback::StatusChanged, this,
            [this](const QString& text) { sb->SetPanelText(StatusPanel::Writes, text); });
    connect(tsGeo, &GeoPage::RealtimeSet, this, [this] { tsConfig->ShowFields(rqSetConfig); });
    OnSignal(menu_->mnuShowExpert, &QAction::triggered, [this] { mnuShowExpertClick(); });
    // The unit is Config's, but every temperature on the window is shown in it.
    connect(tsExpert, &ExpertPage::UnitChanged, this, [this] {
        RefreshStatus();
        RefreshExpertPage();
    });
    connect(tsExpert, &ExpertPage::FanModeChanged, this,
            [this] { tsConfig->SetConnected(connected_, state_.Expert.FanMode); });
    OnSignal<int>(pc, &QTabWidget::currentChanged, [this](int index) { pcChange(index); });
    for (QAction* entry : {tsTemp->mnuCHMTempWater, tsTemp->mnuCHMTempBoard, tsTemp->mnuCHMVoltage,
                           tsTemp->mnuCHMTempSlave})
        OnSignal(entry, &QAction::triggered, [this, entry] { mnuCHMClick(entry); });
    OnSignal(tsTemp->mnuSaveChart, &QAction::triggered, [this] { tsTemp->mnuSaveChartClick(); });
    OnSignal(tsConfig->imgHealth, &ImageBox::Resized, [this] { imgHealthResize(); });
    OnSignal(menu_->mnuHealth, &QAction::triggered, [this] { mnuHealthClick(); });
    OnSignal(menu_->mnuUndo, &QAction::triggered, [this] { mnuUndoClick(); });
    OnSignal(menu_->mnuRedo, &QAction::triggered, [this] { mnuRedoClick(); });
    connect(history_, &ScheduleHistory::AvailabilityChanged, this, &TfrmPHORIN::EnableUndoEntries);
    // The wheel turns the visualised channel wherever the pointer is in the window.
    QCoreApplication::instance()->installEventFilter(this);
    TApplication::SetErrorLogOf(QCoreApplication::instance(),
                                [this](const QString& text) { LogMessage(text); });
}

void TfrmPHORIN::FormCreate(const QStringList& parameters) {
    // Qt scales for the screen itself; this covers a larger font setting on top of it. A
    // screen smaller than the design gets a window it can show whole.
    setMinimumSize(Scaled(this, LeastWidth), Scaled(this, LeastHeight));
    resize(QSize(Scaled(this, DesignWidth), Scaled(this, DesignHeight))
               .boundedTo(screen()->availableSize()));
    ProgramDir = SettingsDirectory();
    ConnectLinkSession();
    link_->CurrentPort.clear();
    link_->LoadRememberedPort();
    for (QWidget* page : {static_cast<QWidget*>(tsExpert), static_cast<QWidget*>(tsBalance),
                          static_cast<QWidget*>(tsJMP), static_cast<QWidget*>(tsRC433)})
        SetPageShown(page, false);
    link_->DebugMessages = false;
    int language = StoredLanguage();
    ReadCommandLine(parameters, language);
    ApplyLanguage(*this, *pc, language);
    LogMessage(Translate(QStringLiteral("Started")) + QLatin1Char(' ') + ApplicationTitle);
    LogMessage(DescribeFile(QCoreApplication::applicationFilePath()));
    tsSchedule->BuildHeader();
    tsChannels->FillColorNames();
    SetPageShown(tsChannelsGL, false);
    // Indexed: a reference into a packed record may be misaligned.
    for (int i = 0; i < ChartSampleCount; ++i)
        state_.Chart.Sample[i] = NoMeasurement;

    for (QWidget* hidden :
         {static_cast<QWidget*>(tsJMP->rbtJMPServo), static_cast<QWidget*>(tsJMP->rbtJMPPWM),
          static_cast<QWidget*>(tsExpert->rbtFMOWaterMaster),
          static_cast<QWidget*>(tsExpert->rbtCHMTempSlave)})
        hidden->hide();
    menu_->Hide(menu_->mnuShowRC433);
    tsTemp->mnuCHMTempSlave->setVisible(false);
    tsConfig->LimitLevelSliders();

    state_.Config.Lat = DefaultLatitudeTenths;
    state_.Config.Lon = DefaultLongitudeTenths;
    tsGeo->btnNowClick();

    RefreshControls();
    SetConnectedState(false);
    tsVisualize->Redraw();
    RestoreWindowPlace();
    if (!link_->CurrentPort.isEmpty())
        link_->Start();
}

void TfrmPHORIN::ReadCommandLine(const QStringList& parameters, int& language) {
    for (const QString& parameter : parameters)
        LogMessage(QStringLiteral("Parameter: ") + parameter);
    const CommandLine line = ParseCommandLine(parameters);
    if (!line.Port.isEmpty())
        link_->CurrentPort = line.Port;
    if (line.Expert)
        SetExpertPagesShown(true);
    if (line.RC433)
        SetPageShown(tsRC433, true);
    link_->DebugMessages = line.Debug;
    if (line.Language != LanguageNotGiven) // a switch wins over the stored choice
        language = line.Language;
}

void TfrmPHORIN::closeEvent(QCloseEvent* event) {
    if (!MayCloseDuringFirmwareUpdate()) {
        event->ignore();
        return;
    }
    // First let go of a link thread that waits for this window, so it can see its end.
    gate_.Close();
    link_->Stop();
    if (DiscoverThread)
        DiscoverThread->Terminate();
    link_->WaitForThreads(ExitWaitMs);
    SaveWindowPlace();
    event->accept();
}

// Size, position and page as the user left them; a first start opens on the channels.
void TfrmPHORIN::RestoreWindowPlace() {
    const QSettings settings(SettingsOrganisation);
    restoreGeometry(settings.value(GeometryValue).toByteArray());
    const QString name = settings.value(PageValue).toString();
    QWidget* page = name.isEmpty() ? nullptr : pc->findChild<QWidget*>(name);
    const int index = page ? pc->indexOf(page) : -1;
    startPage_ = index >= 0 && pc->isTabVisible(index) ? page : tsChannels;
    ShowPage(startPage_);
}

void TfrmPHORIN::SaveWindowPlace() {
    QSettings settings(SettingsOrganisation);
    settings.setValue(GeometryValue, saveGeometry());
    settings.setValue(PageValue, pc->currentWidget()->objectName());
}

// ---- Log and status -----------------------------------------------------------------------

void TfrmPHORIN::LogMessage(const QString& text) {
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    tsMessages->mem->AppendEntry(LogEntry(lines, QDateTime::currentDateTime())
                                     .replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void TfrmPHORIN::SetStatusText(const QString& text) {
    // During a transfer the link writes no status text; the first one after the blocks tells
    // how it ended.
    if (firmwareRunning_)
        SetTaskbarProgress(1, 1);
    sb->SetPanelText(StatusPanel::Status, OneLine(text));
    LogMessage(text);
}

void TfrmPHORIN::DebugLog(const QString& text) {
    if (link_->DebugMessages)
        LogMessage(text);
}

void TfrmPHORIN::SetTaskbarProgress(qint64 completed, qint64 total) {
    ShowLauncherProgress(completed, total);
    ShowFirmwareProgress(completed, total);
}

void TfrmPHORIN::mnuDebugClick() {
    link_->Stop();
    link_->DebugMessages = !link_->DebugMessages;
    LogMessage(Translate(link_->DebugMessages ? QStringLiteral("DebugMessagesActive")
                                              : QStringLiteral("DebugMessagesInactive")));
}

void TfrmPHORIN::SetTitle(const QString& statusText) {
    QString title = MakerAddress + BulletSeparator + ApplicationTitle;
    if (!statusText.isEmpty())
        title += BulletSeparator + statusText;
    setWindowTitle(title);
}

void TfrmPHORIN::OpenWebPage(const QString& path) {
    const QUrl url(ManualSite + path);
    if (!QDesktopServices::openUrl(url))
        LogMessage(url.toString());
}

// The version, the licence and the credit of the world map the Geo page shows.
void TfrmPHORIN::mnuAboutClick() {
    QMessageBox::about(
        this, Translate(QStringLiteral("AboutCaption")),
        TranslateFormat(QStringLiteral("AboutText"), {QCoreApplication::applicationVersion()}));
}

// ---- Pages --------------------------------------------------------------------------------

bool TfrmPHORIN::PageShown(QWidget* page) const {
    return pc->isTabVisible(pc->indexOf(page));
}

void TfrmPHORIN::SetPageShown(QWidget* page, bool shown) {
    pc->setTabVisible(pc->indexOf(page), shown);
}

void TfrmPHORIN::SetExpertPagesShown(bool shown) {
    for (QWidget* page : {static_cast<QWidget*>(tsExpert), static_cast<QWidget*>(tsBalance),
                          static_cast<QWidget*>(tsJMP)})
        SetPageShown(page, shown);
}

void TfrmPHORIN::mnuShowExpertClick() {
    const bool shown = !PageShown(tsExpert);
    SetExpertPagesShown(shown);
    menu_->mnuShowExpert->setChecked(shown);
    if (shown)
        ShowPage(tsExpert);
}

void TfrmPHORIN::ShowPage(QWidget* page) {
    if (pc->currentWidget() != page)
        pc->setCurrentWidget(page); // the page control reports the change: pcChange
}

void TfrmPHORIN::pcChange(int index) {
    QWidget* page = pc->widget(index);
    if (page == tsTemp)
        state_.Raise(rqGetChart);
    else if (page == tsSchedule && !state_.ScheduleDownloadPending())
        FillScheduleGrid();
    else if (page == tsGeo)
        tsGeo->RefreshGeo();
}

// ---- Connection management ----------------------------------------------------------------

void TfrmPHORIN::ConnectLinkSession() {
    connect(link_.get(), &LinkSession::Log, this, &TfrmPHORIN::LogMessage);
    connect(link_.get(), &LinkSession::Leaving, this, &TfrmPHORIN::LeavingPort);
    OnSignal(link_.get(), &LinkSession::Started, [this] {
        recordsFromDevice_ = false;
        mnuFileClick();
    });
}

// The settings of the controller the window leaves are kept as the backup of its port.
void TfrmPHORIN::LeavingPort(const QString& port) {
    WriteAutomaticBackup(port);
    recordsFromDevice_ = false;
}

// Only records read completely from the controller on this port make a backup: start values,
// a part-way read or another controller's settings would replace the last good one.
bool TfrmPHORIN::RecordsComplete() const {
    return recordsFromDevice_ && state_.IsRead(rqRefreshAll);
}

void TfrmPHORIN::WriteAutomaticBackup(const QString& entry) {
    if (!connected_ || !RecordsComplete())
        return;
    const BackupResult result = WriteBackup(entry, state_, ProgramDir);
    if (!result.Error.isEmpty())
        LogMessage(result.Error);
}

// The transfer resets every setting of the controller: keep them first, with a word in the log
// on where they went. The controller answers from its bootloader by now, so the window is no
// longer connected; the records are still those read from it before it went there.
void TfrmPHORIN::BeforeFirmwareTransfer(const QString& portName) {
    if (RecordsComplete())
        KeepSettings(portName);
}

// A backup the user is told about (where it went, or why it failed); false when it failed.
bool TfrmPHORIN::KeepSettings(const QString& entry) {
    const BackupResult result = WriteBackup(entry, state_, ProgramDir);
    LogMessage(result.Error.isEmpty() ? result.Path : result.Error);
    return result.Error.isEmpty();
}

void TfrmPHORIN::mnuConnectionClick() {
    if (!LinkRunning())
        link_->CurrentPort.clear();
    menu_->mnuConnect->clear();
    const auto addEntry = [this](const QString& entry) {
        QAction* item = menu_->mnuConnect->addAction(entry);
        item->setCheckable(true);
        item->setChecked(entry == link_->CurrentPort);
        OnSignal(item, &QAction::triggered, [this, entry] { link_->ConnectTo(entry); });
    };
    for (const QString& entry : link_->ListSerialPorts())
        addEntry(entry);
    menu_->mnuConnect->addSeparator();
    addEntry(BuiltInController::Entry);
    menu_->mnuDisconnect->setEnabled(LinkRunning());
    menu_->Enable(menu_->mnuDiscover, !DiscoverRunning());
    menu_->Enable(menu_->mnuRemove, menu_->mnuDiscover->isEnabled());
}

void TfrmPHORIN::mnuDisconnectClick() {
    link_->Disconnect();
}

void TfrmPHORIN::mnuDiscoverClick() {
    ShowPage(tsMessages);
    if (!DiscoverRunning())
        StartDiscover(true);
}

// A controller in use cannot be removed: the link lets go of it first, for good.
void TfrmPHORIN::mnuRemoveClick() {
    ShowPage(tsMessages);
    if (DiscoverRunning())
        return;
    link_->Disconnect();
    StartDiscover(false);
}

void TfrmPHORIN::StartDiscover(bool installMode) {
    DiscoverThread.reset(); // finished
    DiscoverThread = std::make_unique<TthdDiscover>(*this, gate_, installMode, BluetoothStack);
    // The shortcuts work again as soon as the thread is done, not only after the menu opened.
    connect(DiscoverThread.get(), &QThread::finished, this, [this] {
        menu_->Enable(menu_->mnuDiscover, true);
        menu_->Enable(menu_->mnuRemove, true);
    });
    menu_->Enable(menu_->mnuDiscover, false);
    menu_->Enable(menu_->mnuRemove, false);
}

void TfrmPHORIN::BringToFront() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void TfrmPHORIN::mnuFileClick() {
    menu_->mnuFirmwareUpdate->setEnabled(LinkRunning() && !firmwareRunning_);
}

void TfrmPHORIN::memDblClick() {
    link_->StartOnKnownPort();
}

QString TfrmPHORIN::ChooseFirmwareFile() {
    const QString product = QStringLiteral("ZELPHORIN 2.x");
    const QString pattern = QStringLiteral("ZELPHORIN2x*.chx");
    QFileDialog dialog(this, TranslateFormat(QStringLiteral("ChooseFirmware"), {product}),
                       ProgramDir);
    dialog.setNameFilter(TranslateFormat(QStringLiteral("FirmwareFile"), {product}) +
                         QStringLiteral(" (") + pattern + QLatin1Char(')'));
    dialog.setDefaultSuffix(QStringLiteral("chx"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(QStringLiteral("ZELPHORIN2x0.chx"));
    const QString file = ChooseFile(dialog);
    if (!file.isEmpty())
        ShowPage(tsMessages);
    return file;
}

// ---- Refresh from the records --------------------------------------------------------------

void TfrmPHORIN::SetConnectedState(bool connected) {
    SetTaskbarProgress(1, 1);
    writeFeedback_->LinkChanged(connected);
    if (!connected) {
        // Back to the log only when a connection was lost, not when none was made.
        if (connected_)
            ShowPage(tsMessages);
        sb->SetPanelText(StatusPanel::Clock, QString());
        sb->SetPanelText(StatusPanel::Mode, QString());
        tsConfig->lblBoard->clear();
        SetTitle(QString());
    }
    // A controller identified anew is read anew; until then the records are not all its own.
    if (connected)
        recordsFromDevice_ = false;
    shownConfig_.reset();
    connected_ = connected;
    for (QAction* entry :
         {menu_->mnuScheduleImport, menu_->mnuConfigImport, menu_->mnuScheduleConfigExport,
          menu_->mnuModeManual, menu_->mnuModeAuto, menu_->mnuModeGeo, menu_->mnuModeRGBDemo,
          menu_->mnuModeFlash, menu_->mnuRefresh, menu_->mnuSaveEEPROM, menu_->mnuStepBig,
          menu_->mnuIRLearn, menu_->mnuHealth, menu_->mnuAllOff, menu_->mnuAll20, menu_->mnuAllOn,
          menu_->mnuSetTimeDate})
        menu_->Enable(entry, connected);
    const uint8_t mode = state_.Config.Mode;
    tsChannels->SetConnected(connected, mode);
    tsSchedule->SetConnected(connected);
    tsVisualize->SetConnected(connected);
    tsConfig->SetConnected(connected, state_.Expert.FanMode);
    tsWeather->SetConnected(connected, mode);
    tsWeatherDelay->SetConnected(connected);
    tsMoon->SetConnected(connected);
    tsTemp->SetConnected(connected);
    tsExpert->SetConnected(connected, state_.Info.TempWater != NoMeasurement);
    tsBalance->SetConnected(connected);
    tsJMP->SetConnected(connected);
    tsRC433->SetConnected(connected);
    EnableUndoEntries();
    mnuFileClick();
}

void TfrmPHORIN::RefreshStatus() {
    if (!isVisible())
        return;
    const InfoBlock& info = state_.Info;
    tsChannels->ShowLevels(info);
    tsGeo->ShowClock(info);
    const bool waterSensor = info.TempWater != NoMeasurement;
    tsExpert->SetWaterSensor(waterSensor);
    tsJMP->SetWaterSensor(waterSensor);
    const QDateTime clock = DeviceClock(info);
    // An impossible clock leaves the rest as the last good reading showed it.
    if (!clock.isValid())
        return;
    sb->SetPanelText(StatusPanel::Clock, LocalDateTimeText(clock));
    const QString status = StatusText(link_->CurrentPort, info, state_.Config.Flag);
    SetTitle(status);
    tsConfig->ShowBoard(status, BoardAlarm(info.Errors));
    if (pc->currentWidget() == tsVisualize)
        tsVisualize->RefreshMarker();
    else if (pc->currentWidget() == tsGeo)
        tsGeo->RefreshGeo();
    tsSchedule->MarkCurrentRow(info.CurrentRow);
}

void TfrmPHORIN::RefreshControls() {
    const ConfigBlock& config = state_.Config;
    tsGeo->ShowPlace(config);
    if (!isVisible())
        return;
    // The link reads the configuration twice a second: the same values repaint nothing.
    const QString modeText = ModeText(config, state_.Info);
    if (shownConfig_ && std::memcmp(&*shownConfig_, &config, sizeof config) == 0 &&
        modeText == shownModeText_)
        return;
    tsChannels->ShowMode(config.Mode);
    tsWeather->ShowMode(config.Mode);
    sb->SetPanelText(StatusPanel::Mode, modeText);
    tsConfig->ShowFields(rqSetConfig);
    tsWeather->ShowFigures(config);
    tsExpert->ShowFormats(config.Flag);
    RefreshWeatherInfo();
    const bool namesShown = RefreshChannelNames();
    ShowOptionTicks();
    if (namesShown) {
        shownConfig_ = config;
        shownModeText_ = modeText;
    }
}

// The controller may have kept other values than the user's: the next read shows its own,
// whatever the controls showed before the change.
void TfrmPHORIN::WriteFinished(uint32_t flag, bool ok) {
    if (flag & rqSetConfig)
        shownConfig_.reset();
    writeFeedback_->WriteFinished(flag, ok);
}

void TfrmPHORIN::RefreshWeatherInfo() {
    tsWeather->RefreshWeatherInfo();
}

bool TfrmPHORIN::RefreshChannelNames() {
    if (DroppedDown(tsVisualize->cmbVisualize))
        return false;
    QStringList names;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const int code = state_.Config.ColorName[channel];
        const QRgb colour = ChannelDisplayColor(code);
        const QString name = ColorCaption(code) + QStringLiteral(": ") + ChannelLetter(channel);
        tsChannels->ShowColorName(channel, code);
        tsSchedule->SetChannelHeader(channel, name);
        names.append(name);
        tsMoon->ShowChannelName(channel, name, colour);
        tsBalance->ShowChannelName(channel, name, colour);
        tsWeatherDelay->ShowChannelName(channel, name, colour);
        SetBackground(tsExpert->edtLightningMask[size_t(channel)], colour);
    }
    tsVisualize->SetChannelNames(names);
    return true;
}

void TfrmPHORIN::mnuOptionsClick() {
    ShowOptionTicks();
    menu_->mnuShowExpert->setChecked(PageShown(tsExpert));
    menu_->mnuShowRC433->setChecked(PageShown(tsRC433));
}

// ---- Undo and redo of schedule edits -------------------------------------------------------

// A cell being edited would go on showing the typed text over the row restored.
void TfrmPHORIN::mnuUndoClick() {
    tsSchedule->CloseCellEditor();
    history_->Undo();
}

void TfrmPHORIN::mnuRedoClick() {
    tsSchedule->CloseCellEditor();
    history_->Redo();
}

void TfrmPHORIN::EnableUndoEntries() {
    menu_->mnuUndo->setEnabled(connected_ && history_->CanUndo());
    menu_->mnuRedo->setEnabled(connected_ && history_->CanRedo());
}

bool TfrmPHORIN::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this)
        return FormMouseWheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
    return QMainWindow::eventFilter(watched, event);
}

// Handled only on the visualisation, and there not while a point is dragged.
bool TfrmPHORIN::FormMouseWheel(int delta) {
    if (pc->currentWidget() != tsVisualize || delta == 0)
        return false;
    return tsVisualize->FormMouseWheel(delta);
}

void TfrmPHORIN::mnuSetTimeDateClick() {
    ShowPage(tsGeo);
    tsGeo->btnNowClick();
}

void TfrmPHORIN::mnuRefreshClick() {
    state_.Raise(rqRefreshAll);
}

// ExpertWeather is the last block of a complete read: the connection works, so the window
// leaves the log for the page of the mode and remembers the port that answered.
void TfrmPHORIN::RefreshWeatherPages() {
    // The link reads this block after every other one; an import refreshes this page too,
    // which proves nothing while blocks are still to come.
    if (connected_ && (state_.Snapshot() & rqRefreshAll) == 0)
        recordsFromDevice_ = true;
    // Until the user picks a page, the first complete read brings the page of the mode.
    if (pc->currentWidget() == tsMessages || pc->currentWidget() == startPage_) {
        startPage_ = nullptr;
        const uint8_t mode = state_.Config.Mode;
        ShowPage(mode == ModeAuto  ? static_cast<QWidget*>(tsSchedule)
                 : mode == ModeGeo ? static_cast<QWidget*>(tsGeo)
                                   : static_cast<QWidget*>(tsChannels));
    }
    tsWeather->ShowFields(rqSetExpertWeather);
    tsBalance->ShowFields();
    tsMoon->ShowFields();
    tsWeatherDelay->ShowFields();
    tsExpert->ShowLightningMasks();
    link_->RememberPort();
}

void TfrmPHORIN::RefreshExpertPage() {
    tsExpert->RefreshExpert();
    tsJMP->RefreshExpert();
    tsConfig->ShowFields(rqSetExpert);
}

void TfrmPHORIN::FillScheduleGrid() {
    // The link fills the grid at the end of a download, while its flag is still raised (every
    // other caller waits for the download): the rows now are the controller's.
    if (state_.ScheduleDownloadPending())
        history_->Clear();
    tsSchedule->FillScheduleGrid();
    tsVisualize->Redraw();
}
void TfrmPHORIN::RefreshChart() {
    tsTemp->RefreshChart();
}

void TfrmPHORIN::RefreshHealth() {
    tsConfig->ShowHealth(state_.Health);
}

// ---- Chart and health -----------------------------------------------------------------------

void TfrmPHORIN::mnuCHMClick(QAction* entry) {
    tsTemp->mnuCHMClick(entry);
    RefreshExpertPage();
}

void TfrmPHORIN::imgHealthResize() {
    if (tsConfig->imgHealth->isVisible())
        RefreshHealth();
}

void TfrmPHORIN::mnuHealthClick() {
    SetExpertPagesShown(true);
    ShowPage(tsConfig);
    state_.Raise(rqGetHealth);
}

} // namespace zel
