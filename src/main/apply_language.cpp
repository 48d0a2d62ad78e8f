#include "main/apply_language.h"

#include "cfg/records.h"
#include "lang/translate.h"
#include "main/pages/messages_page.h"
#include "main/widgets/file_dialog.h"
#include "main/widgets/labeled_edit.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSettings>

namespace zel {

namespace {
const QString CaptionSuffix = QStringLiteral(".Caption");
const QString HintSuffix = QStringLiteral(".Hint");
const QString LanguageValue = QStringLiteral("Window/Language");

// Table texts break lines with CR LF; the widgets want a plain line feed.
QString WidgetText(const QString& value) {
    return ExpandLineBreaks(value).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

template <typename Widget> Widget* Find(QWidget& form, const QString& name) {
    return form.findChild<Widget*>(name);
}

// A name that matches no control, or a control of another kind, is skipped.
void SetCaption(QWidget& form, QTabWidget& pc, const QString& name, const QString& text) {
    QObject* control = form.findChild<QObject*>(name);
    if (!control)
        return;
    if (auto* page = qobject_cast<QWidget*>(control); page && pc.indexOf(page) >= 0)
        pc.setTabText(pc.indexOf(page), text);
    else if (auto* log = qobject_cast<LogView*>(control))
        log->SetSafetyNote(text);
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(control))
        memo->setPlainText(text);
    else if (auto* edit = qobject_cast<LabeledEdit*>(control))
        edit->EditLabel()->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* menu = qobject_cast<QMenu*>(control))
        menu->setTitle(text);
    else if (auto* entry = qobject_cast<QAction*>(control))
        entry->setText(text);
}

void SetHint(QWidget& form, const QString& name, const QString& text) {
    QObject* control = form.findChild<QObject*>(name);
    if (auto* widget = qobject_cast<QWidget*>(control))
        widget->setToolTip(text);
    else if (auto* entry = qobject_cast<QAction*>(control))
        entry->setToolTip(text);
}

QString ButtonText(QWidget& form, const QString& name) {
    auto* button = Find<QAbstractButton>(form, name);
    return button ? button->text() : QString();
}

void CopyButtonText(QWidget& form, const QString& from, const QString& to) {
    if (auto* button = Find<QAbstractButton>(form, to))
        button->setText(ButtonText(form, from));
}

void SetEditLabel(QWidget& form, const QString& name, const QString& text) {
    if (auto* edit = Find<LabeledEdit>(form, name))
        edit->EditLabel()->setText(text);
}

QString Formatted(const QString& pattern, const QString& argument) {
    QString text;
    return FormatPlaces(pattern, {argument}, text) ? text : pattern;
}

// Every row's buttons and label from the templates in row 0; row 0's label goes last, as it
// holds the template until then.
void ApplyChannelRows(QWidget& form) {
    auto* template0 = Find<QLabel>(form, QStringLiteral("lblName0"));
    const QString labelTemplate = template0 ? template0->text() : QString();
    for (int n = ChannelCount - 1; n >= 0; --n) {
        const QString suffix = QString::number(n);
        CopyButtonText(form, QStringLiteral("btnOn0"), QStringLiteral("btnOn") + suffix);
        CopyButtonText(form, QStringLiteral("btnOff0"), QStringLiteral("btnOff") + suffix);
        if (auto* label = Find<QLabel>(form, QStringLiteral("lblName") + suffix))
            label->setText(Formatted(labelTemplate, ChannelLetter(n)));
    }
    for (int n = 0; n < ChannelCount; ++n)
        for (const char* prefix : {"edtMoon", "edtWeatherDelay", "edtBalance", "edtLightningMask"})
            SetEditLabel(form, QLatin1String(prefix) + QString::number(n), ChannelLetter(n));
}

// The chart source appears twice: as radio buttons and as the chart's popup menu.
void ApplyChartSources(QWidget& form) {
    for (const char* source : {"TempWater", "TempBoard", "Voltage", "TempSlave"}) {
        if (auto* entry = Find<QAction>(form, QStringLiteral("mnuCHM") + QLatin1String(source)))
            entry->setText(ButtonText(form, QStringLiteral("rbtCHM") + QLatin1String(source)));
    }
    SetEditLabel(form, QStringLiteral("edtCloudTempWater"),
                 ButtonText(form, QStringLiteral("rbtCHMTempWater")));
    SetEditLabel(form, QStringLiteral("edtCloudTempBoard"),
                 ButtonText(form, QStringLiteral("rbtCHMTempBoard")));
}
} // namespace

int ApplyLanguage(QWidget& form, QTabWidget& pc, int code) {
    const int language = SelectLanguage(code);
    for (const auto& [key, value] : FormTexts()) {
        if (key.contains(CaptionSuffix))
            SetCaption(form, pc, key.left(key.indexOf(CaptionSuffix)), WidgetText(value));
        else if (key.contains(HintSuffix))
            SetHint(form, key.left(key.indexOf(HintSuffix)), WidgetText(value));
    }
    if (auto* box = Find<QComboBox>(form, QStringLiteral("cmbLanguage"))) {
        box->clear();
        box->addItems({Translate(QStringLiteral("English")), Translate(QStringLiteral("German"))});
        box->setCurrentIndex(language);
    }
    ApplyChannelRows(form);
    if (auto* channels = Find<QWidget>(form, QStringLiteral("tsChannels")))
        pc.setTabText(pc.indexOf(channels),
                      Formatted(pc.tabText(pc.indexOf(channels)), QString()).trimmed());
    ApplyChartSources(form);
    return language;
}

int StoredLanguage() {
    bool number = false;
    const int code = QSettings(SettingsOrganisation).value(LanguageValue).toInt(&number);
    // Anything but a language this window has is the system's choice.
    return number && (code == LanguageEnglish || code == LanguageGerman) ? code : LanguageNotGiven;
}

void StoreLanguage(int code) {
    QSettings settings(SettingsOrganisation);
    if (code == LanguageEnglish || code == LanguageGerman)
        settings.setValue(LanguageValue, code);
    else
        settings.remove(LanguageValue);
}

} // namespace zel
