#pragma once

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>

#include <array>

namespace zel {

// The window's menu bar, every entry under its design name and with its shortcut. Entries
// hidden from the menus stay reachable by their shortcuts.
struct MainMenu {
    explicit MainMenu(QMainWindow* window);

    QMenu* mnuConnection;
    QAction* mnuDiscover;
    QAction* mnuRemove;
    QMenu* mnuConnect;
    QAction* mnuDisconnect;

    QMenu* mnuFile;
    QAction* mnuScheduleImport;
    QAction* mnuConfigImport;
    QAction* mnuScheduleConfigExport;
    QAction* mnuFirmwareUpdate;
    QAction* mnuExit;

    QMenu* mnuOptions;
    QAction* mnuUndo;
    QAction* mnuRedo;
    QActionGroup* ModeGroup;
    QAction* mnuModeManual;
    QAction* mnuModeAuto;
    QAction* mnuModeGeo;
    QAction* mnuModeRGBDemo;
    QAction* mnuModeFlash;
    QAction* mnuAllOff;
    QAction* mnuAll20;
    QAction* mnuAllOn;
    QAction* mnuSetTimeDate;
    QAction* mnuStepBig;
    QAction* mnuShowExpert;
    QAction* mnuShowRC433;
    QAction* mnuRefresh;
    QAction* mnuSaveEEPROM;
    QAction* mnuIRLearn;
    QAction* mnuHealth;
    QAction* mnuDebug;
    // The window's language at the next start; each entry's data is its language code.
    QMenu* mnuLanguage;
    QActionGroup* LanguageGroup;
    QAction* mnuLanguageEnglish;
    QAction* mnuLanguageGerman;
    QAction* mnuLanguageSystem;

    QMenu* mnuHelp;
    QAction* mnuHardware;
    QAction* mnuSoftware;
    QAction* mnuFAQ;
    QAction* mnuAbout;

    // The mode entries by Config.Mode, 0 to 4.
    std::array<QAction*, 5> ModeEntries() const;

    // Takes an entry out of its menu; its shortcut keeps working.
    void Hide(QAction* entry);

    // Enables an entry when it may be used now (enabled) and has a handler (see AwaitsHandler).
    void Enable(QAction* entry, bool enabled);
    // An entry without a handler yet stays disabled, menu and shortcut alike, so that nothing
    // looks as if it worked. Its handler's change takes it off the list in main_menu.cpp.
    bool AwaitsHandler(QAction* entry) const;

private:
    QMainWindow* window_;
    QList<QAction*> withoutHandler_;
};

} // namespace zel
