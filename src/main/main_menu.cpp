#include "main/main_menu.h"

#include "lang/translate.h"

#include <QMenuBar>

#include <tuple>

namespace zel {

namespace {
QMenu* AddMenu(QMenuBar* bar, const char* name, const char* caption) {
    QMenu* menu = bar->addMenu(QString::fromUtf8(caption));
    menu->setObjectName(QLatin1String(name));
    return menu;
}

QAction* AddEntry(QMenu* menu, const char* name, const char* caption,
                  const QKeySequence& shortcut = QKeySequence()) {
    QAction* entry = menu->addAction(QString::fromUtf8(caption));
    entry->setObjectName(QLatin1String(name));
    entry->setShortcut(shortcut);
    return entry;
}

QAction* AddToggle(QMenu* menu, const char* name, const char* caption,
                   const QKeySequence& shortcut) {
    QAction* entry = AddEntry(menu, name, caption, shortcut);
    entry->setCheckable(true);
    return entry;
}
} // namespace

MainMenu::MainMenu(QMainWindow* window) : window_(window) {
    QMenuBar* bar = window->menuBar();

    mnuConnection = AddMenu(bar, "mnuConnection", "&Connection");
    mnuDiscover = AddEntry(mnuConnection, "mnuDiscover", "Install devices &automatically",
                           Qt::CTRL | Qt::Key_I);
    mnuRemove = AddEntry(mnuConnection, "mnuRemove", "&Uninstall devices automatically",
                         Qt::CTRL | Qt::Key_U);
    mnuConnect = mnuConnection->addMenu(QStringLiteral("&Connect to"));
    mnuConnect->setObjectName(QStringLiteral("mnuConnect"));
    mnuDisconnect = AddEntry(mnuConnection, "mnuDisconnect", "&Disconnect", Qt::CTRL | Qt::Key_D);

    mnuFile = AddMenu(bar, "mnuFile", "&File");
    mnuScheduleImport =
        AddEntry(mnuFile, "mnuScheduleImport", "Import &schedule...", Qt::CTRL | Qt::Key_T);
    mnuConfigImport =
        AddEntry(mnuFile, "mnuConfigImport", "Import &configuration...", Qt::CTRL | Qt::Key_K);
    mnuScheduleConfigExport =
        AddEntry(mnuFile, "mnuScheduleConfigExport", "&Export schedule and configuration...",
                 Qt::CTRL | Qt::Key_E);
    mnuFirmwareUpdate =
        AddEntry(mnuFile, "mnuFirmwareUpdate", "Update &firmware...", Qt::CTRL | Qt::Key_F);
    mnuFile->addSeparator();
    mnuExit = AddEntry(mnuFile, "mnuExit", "E&xit", Qt::ALT | Qt::Key_F4);

    mnuOptions = AddMenu(bar, "mnuOptions", "&Options");
    mnuUndo =
        AddEntry(mnuOptions, "mnuUndo", "&Undo schedule edit", QKeySequence(Qt::CTRL | Qt::Key_Z));
    mnuRedo = AddEntry(mnuOptions, "mnuRedo", "Red&o schedule edit");
    mnuRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    mnuOptions->addSeparator();
    ModeGroup = new QActionGroup(window);
    ModeGroup->setExclusive(true);
    const std::pair<const char*, const char*> modes[] = {{"mnuModeManual", "Mode: &Manual"},
                                                         {"mnuModeAuto", "Mode: &Auto"},
                                                         {"mnuModeGeo", "Mode: &Geo"},
                                                         {"mnuModeRGBDemo", "Mode: RGB &demo"},
                                                         {"mnuModeFlash", "Mode: &Flash"}};
    QAction** const modeEntries[] = {&mnuModeManual, &mnuModeAuto, &mnuModeGeo, &mnuModeRGBDemo,
                                     &mnuModeFlash};
    const int modeKeys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5};
    for (int mode = 0; mode < 5; ++mode) {
        QAction* entry = AddToggle(mnuOptions, modes[mode].first, modes[mode].second,
                                   QKeySequence(Qt::CTRL | modeKeys[mode]));
        ModeGroup->addAction(entry);
        *modeEntries[mode] = entry;
    }
    mnuOptions->addSeparator();
    mnuAllOff = AddEntry(mnuOptions, "mnuAllOff", "Set all channels to &0%", Qt::CTRL | Qt::Key_0);
    mnuAll20 = AddEntry(mnuOptions, "mnuAll20", "Set all channels to &20%", Qt::CTRL | Qt::Key_2);
    mnuAllOn = AddEntry(mnuOptions, "mnuAllOn", "Set all channels to &100%", Qt::CTRL | Qt::Key_1);
    mnuOptions->addSeparator();
    mnuSetTimeDate =
        AddEntry(mnuOptions, "mnuSetTimeDate", "Set current &time and date", Qt::CTRL | Qt::Key_C);
    mnuStepBig = AddToggle(mnuOptions, "mnuStepBig", "&Big step size", Qt::Key_F4);
    mnuShowExpert = AddToggle(mnuOptions, "mnuShowExpert", "Show &Expert options", Qt::Key_F6);
    mnuShowRC433 = AddToggle(mnuOptions, "mnuShowRC433", "Show tab \"433 MHz\"", Qt::Key_F8);
    mnuRefresh = AddEntry(mnuOptions, "mnuRefresh", "&Refresh", Qt::Key_F5);
    mnuSaveEEPROM =
        AddEntry(mnuOptions, "mnuSaveEEPROM", "&Save settings permanently", Qt::CTRL | Qt::Key_S);
    mnuIRLearn =
        AddEntry(mnuOptions, "mnuIRLearn", "&Pair IR remote control...", Qt::CTRL | Qt::Key_R);
    mnuOptions->addSeparator();
    mnuLanguage = mnuOptions->addMenu(QStringLiteral("&Language"));
    mnuLanguage->setObjectName(QStringLiteral("mnuLanguage"));
    LanguageGroup = new QActionGroup(window);
    const std::tuple<QAction**, const char*, const char*, int> languages[] = {
        {&mnuLanguageEnglish, "mnuLanguageEnglish", "English", LanguageEnglish},
        {&mnuLanguageGerman, "mnuLanguageGerman", "Deutsch", LanguageGerman},
        {&mnuLanguageSystem, "mnuLanguageSystem", "The system's language", LanguageNotGiven}};
    for (const auto& [entry, name, caption, code] : languages) {
        *entry = AddToggle(mnuLanguage, name, caption, QKeySequence());
        (*entry)->setData(code);
        LanguageGroup->addAction(*entry);
    }
    mnuHealth = AddEntry(mnuOptions, "mnuHealth", "Read health data",
                         Qt::SHIFT | Qt::CTRL | Qt::ALT | Qt::Key_X);
    mnuDebug = AddEntry(mnuOptions, "mnuDebug", "Debug", Qt::CTRL | Qt::ALT | Qt::Key_D);
    Hide(mnuHealth);
    Hide(mnuDebug);

    mnuHelp = AddMenu(bar, "mnuHelp", "&Help");
    mnuHardware = AddEntry(mnuHelp, "mnuHardware", "&Hardware manual");
    mnuSoftware = AddEntry(mnuHelp, "mnuSoftware", "&Software manual / updates");
    mnuFAQ = AddEntry(mnuHelp, "mnuFAQ", "&FAQ / error tracking", Qt::Key_F1);
    mnuHelp->addSeparator();
    mnuAbout = AddEntry(mnuHelp, "mnuAbout", "&About");

    // Until their handlers come; one to a line, so that each leaves with its own change.
    // clang-format off
    withoutHandler_ = {
        mnuShowRC433,
    };
    // clang-format on
    for (QAction* entry : withoutHandler_)
        entry->setEnabled(false);
}

std::array<QAction*, 5> MainMenu::ModeEntries() const {
    return {mnuModeManual, mnuModeAuto, mnuModeGeo, mnuModeRGBDemo, mnuModeFlash};
}

void MainMenu::Hide(QAction* entry) {
    for (QObject* menu : entry->associatedObjects())
        if (auto* owner = qobject_cast<QMenu*>(menu))
            owner->removeAction(entry);
    // Added to the window, a shortcut fires wherever the focus is in it.
    window_->addAction(entry);
}

void MainMenu::Enable(QAction* entry, bool enabled) {
    entry->setEnabled(enabled && !AwaitsHandler(entry));
}

bool MainMenu::AwaitsHandler(QAction* entry) const {
    return withoutHandler_.contains(entry);
}

} // namespace zel
