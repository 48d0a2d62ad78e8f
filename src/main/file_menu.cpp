// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu: export and import of settings files, and the firmware update.

#include "files/ini_document.h"
#include "files/settings_file.h"
#include "lang/translate.h"
#include "main/frm_phorin.h"
#include "main/pages/messages_page.h"
#include "main/pages/schedule_history.h"
#include "main/widgets/file_dialog.h"

#include <QDir>
#include <QMessageBox>
#include <QProgressBar>

namespace zel {

namespace {
const QString SettingsProduct = QStringLiteral("ZELPHORIN 2.x.0");
} // namespace

void TfrmPHORIN::ConnectFileMenu() {
    SettingsFileDialog = [this](const QString& title, bool save) {
        return AskSettingsFile(title, save);
    };
    Confirm = [this](const QString& text, const QString& caption) {
        return AskYesNo(text, caption);
    };
    OnSignal(menu_->mnuScheduleConfigExport, &QAction::triggered,
             [this] { mnuScheduleConfigExportClick(); });
    OnSignal(menu_->mnuConfigImport, &QAction::triggered, [this] { mnuConfigImportClick(); });
    OnSignal(menu_->mnuScheduleImport, &QAction::triggered, [this] { mnuScheduleImportClick(); });
    OnSignal(menu_->mnuFirmwareUpdate, &QAction::triggered, [this] { mnuFirmwareUpdateClick(); });
}

QString TfrmPHORIN::AskSettingsFile(const QString& title, bool save) {
    QFileDialog dialog(this, title, ProgramDir);
    dialog.setNameFilter(TranslateFormat(QStringLiteral("PHORINConfig"), {SettingsProduct}) +
                         QStringLiteral(" (*.ini)"));
    dialog.setDefaultSuffix(QStringLiteral("ini"));
    // A save dialog asks before it overwrites a file; an open one wants an existing file.
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    return ChooseFile(dialog);
}

bool TfrmPHORIN::AskYesNo(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TfrmPHORIN::mnuScheduleConfigExportClick() {
    // The link refreshes every record while the dialog is open.
    state_.Raise(rqRefreshAll);
    const QString path =
        SettingsFileDialog(Translate(QStringLiteral("ExportScheduleConfig")), true);
    if (path.isEmpty())
        return;
    // A file of start values or of a part-way read would restore them into the controller.
    if (!state_.IsRead(rqRefreshAll)) {
        SetStatusText(Translate(QStringLiteral("NotExportedIncompleteRead")));
        return;
    }
    try {
        WriteSettingsFile(path, state_);
    } catch (const FileError& error) {
        LogMessage(error.Message()); // the old file, if any, is still whole
    }
}

// An import overwrites the controller's settings: the user agrees first, and the settings read
// from it are kept before they go. Without a backup nothing is imported.
bool TfrmPHORIN::ConfirmImport(const QString& path) {
    if (!Confirm(TranslateFormat(QStringLiteral("ImportAsk"), {QDir::toNativeSeparators(path)}),
                 Translate(QStringLiteral("ImportAskCaption"))))
        return false;
    if (!connected_ || !RecordsComplete() || KeepSettings(link_->CurrentPort))
        return true; // settings never read completely are not the controller's to keep
    LogMessage(Translate(QStringLiteral("NotImportedNoBackup")));
    return false;
}

void TfrmPHORIN::mnuConfigImportClick() {
    const QString path = SettingsFileDialog(Translate(QStringLiteral("ImportConfig")), false);
    if (path.isEmpty() || !ConfirmImport(path))
        return;
    try {
        ImportConfiguration(path, state_);
    } catch (const FileError& error) {
        LogMessage(error.Message());
        return;
    }
    writeFeedback_->ImportStarted();
    RefreshStatus();
    RefreshControls();
    RefreshExpertPage();
    RefreshWeatherPages();
    FillScheduleGrid();
}

void TfrmPHORIN::mnuScheduleImportClick() {
    if (state_.ScheduleDownloadPending())
        return;
    const QString path = SettingsFileDialog(Translate(QStringLiteral("ImportSchedule")), false);
    if (path.isEmpty() || !ConfirmImport(path))
        return;
    try {
        if (!ImportSchedule(path, state_))
            return; // a download started while the dialog was open
    } catch (const FileError& error) {
        LogMessage(error.Message());
        return;
    }
    writeFeedback_->ImportStarted();
    // The rows come from the file now: earlier edits cannot be taken back onto them.
    history_->Clear();
    FillScheduleGrid();
}

// While the blocks of a firmware update go out, the status bar shows how far the transfer is,
// the update entry is disabled, and closing the window asks first.
void TfrmPHORIN::ShowFirmwareProgress(qint64 completed, qint64 total) {
    const bool running = total > 0 && completed >= 0 && completed < total;
    if (running) {
        pbFirmware->setFormat(Translate(QStringLiteral("FlashDlgCaption")) +
                              QStringLiteral(": %p %"));
        pbFirmware->setValue(int(completed * FirmwareProgressSteps / total));
    }
    pbFirmware->setVisible(running);
    if (running != firmwareRunning_) {
        firmwareRunning_ = running;
        mnuFileClick();
    }
}

bool TfrmPHORIN::MayCloseDuringFirmwareUpdate() {
    if (!firmwareRunning_)
        return true;
    // A second request to close (a signal, the session) while the question is open waits
    // for its answer.
    if (askingToClose_)
        return false;
    askingToClose_ = true;
    const bool close = Confirm(Translate(QStringLiteral("FlashRunningText")),
                               Translate(QStringLiteral("FlashDlgCaption")));
    askingToClose_ = false;
    return close;
}

void TfrmPHORIN::mnuFirmwareUpdateClick() {
    if (Confirm(Translate(QStringLiteral("FlashDlgText")),
                Translate(QStringLiteral("FlashDlgCaption"))))
        state_.Raise(rqFirmware);
}

} // namespace zel
