// The Options menu: the operating modes, all channels at once, the big step size, saving the
// settings, pairing an IR remote control, the language of the next start; and the weather
// page's buttons that trigger a cloud or a thunderstorm now.

#include "cfg/conversions.h"
#include "cfg/device_actions.h"
#include "lang/translate.h"
#include "main/apply_language.h"
#include "main/frm_phorin.h"
#include "main/pages/channels_page.h"
#include "main/pages/geo_page.h"
#include "main/pages/schedule_page.h"
#include "main/pages/weather_page.h"

namespace zel {

namespace {
constexpr int Level20 = 819; // 20 % as the controller's menu sets it, not 819.2
} // namespace

void TfrmPHORIN::ConnectOptionsMenu() {
    const auto modes = menu_->ModeEntries();
    for (size_t mode = 0; mode < modes.size(); ++mode)
        OnSignal(modes[mode], &QAction::triggered, [this, mode] { mnuModeClick(uint8_t(mode)); });
    OnSignal(menu_->mnuAllOff, &QAction::triggered, [this] { mnuAllClick(0); });
    OnSignal(menu_->mnuAll20, &QAction::triggered, [this] { mnuAllClick(Level20); });
    OnSignal(menu_->mnuAllOn, &QAction::triggered, [this] { mnuAllClick(FullLevel); });
    OnSignal(menu_->mnuStepBig, &QAction::triggered, [this] { mnuStepBigClick(); });
    OnSignal(menu_->mnuSaveEEPROM, &QAction::triggered, [this] { state_.Raise(rqSaveEEPROM); });
    OnSignal(menu_->mnuIRLearn, &QAction::triggered, [this] { mnuIRLearnClick(); });
    const int language = StoredLanguage();
    for (QAction* entry : menu_->LanguageGroup->actions()) {
        entry->setChecked(entry->data().toInt() == language);
        OnSignal(entry, &QAction::triggered, [this, entry] { mnuLanguageClick(entry); });
    }
    OnSignal(tsWeather->btnCloud, &QPushButton::clicked, [this] { state_.Raise(rqToggleCloud); });
    OnSignal(tsWeather->btnStorm, &QPushButton::clicked, [this] { state_.Raise(rqToggleStorm); });
}

// The ticks show the controller's settings as the window holds them: after a choice the new
// mode, and once the controller's configuration is read back, whatever it really runs.
void TfrmPHORIN::ShowOptionTicks() {
    const uint8_t mode = state_.Config.Mode;
    if (mode < menu_->ModeEntries().size())
        menu_->ModeEntries()[mode]->setChecked(true);
    menu_->mnuStepBig->setChecked(state_.Config.Flag & FlagStepBig);
}

void TfrmPHORIN::SelectMode(uint8_t mode) {
    // RGB demo and Flash drop a pending download with every other request: the grid can
    // then show the rows as they are.
    if (SelectModeRequest(state_, mode) && !state_.ScheduleDownloadPending())
        FillScheduleGrid();
}

// The mode entries mnuModeManualClick .. mnuModeFlashClick.
void TfrmPHORIN::mnuModeClick(uint8_t mode) {
    SelectMode(mode);
    if (mode == ModeAuto)
        ShowPage(tsSchedule);
    else if (mode == ModeGeo)
        ShowPage(tsGeo);
    else if (mode == ModeRGBDemo || pc->currentWidget() != tsChannelsGL)
        ShowPage(tsChannels);
    ShowOptionTicks();
}

// mnuAllOffClick, mnuAll20Click, mnuAllOnClick: one request for the four channels.
void TfrmPHORIN::mnuAllClick(int level) {
    if (pc->currentWidget() != tsChannelsGL)
        ShowPage(tsChannels);
    SetChannelLevels(state_, {level, level, level, level});
    for (int channel = 0; channel < ChannelCount; ++channel)
        tsChannels->Row(channel).SetLevel(level);
}

// A setting of the controller's own keys; the window's sliders keep their steps.
void TfrmPHORIN::mnuStepBigClick() {
    const bool big = menu_->mnuStepBig->isChecked();
    state_.Config.Flag =
        uint8_t(big ? state_.Config.Flag | FlagStepBig : state_.Config.Flag & ~FlagStepBig);
    state_.Raise(rqSetConfig);
}

// The texts are applied once, before any link thread reads them: the choice waits for the
// next start.
void TfrmPHORIN::mnuLanguageClick(QAction* entry) {
    StoreLanguage(entry->data().toInt());
    SetStatusText(Translate(QStringLiteral("LanguageNextStart")));
}

void TfrmPHORIN::mnuIRLearnClick() {
    if (Confirm(TranslateFormat(QStringLiteral("IRLearnDlgText"), {QStringLiteral("ZELPHORIN2")}),
                Translate(QStringLiteral("IRLearnDlgCaption"))))
        ToggleIRPairing(state_);
}

} // namespace zel
