// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/messages_page.h"

#include "lang/translate.h"
#include "main/widgets/file_dialog.h"
#include "main/widgets/widgets.h"

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QSaveFile>
#include <QScrollBar>
#include <QVBoxLayout>

namespace zel {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("mem"));
    setReadOnly(true);
    setMaximumBlockCount(LineLimit); // which also ends the undo history a log has no use for
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    SaveLogDialog = [this] { return AskLogFile(); };
}

void LogView::SetSafetyNote(const QString& note) {
    const QString logged = toPlainText();
    // A text's last line break ends its last line; as a block it would add an empty one.
    setPlainText(note.endsWith(QLatin1Char('\n')) ? note.chopped(1) : note);
    if (!logged.isEmpty())
        appendPlainText(logged);
}

void LogView::AppendEntry(const QString& entry) {
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    appendPlainText(entry);
    if (atEnd)
        bar->setValue(bar->maximum());
}

// Ctrl+C is also the shortcut of "Set current time and date"; in the log, the user means a
// copy. Select all is claimed for the same reason.
bool LogView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyEntry = menu.addAction(Translate(QStringLiteral("LogCopy")), QKeySequence::Copy,
                                        this, &QPlainTextEdit::copy);
    copyEntry->setEnabled(textCursor().hasSelection());
    menu.addAction(Translate(QStringLiteral("LogSelectAll")), QKeySequence::SelectAll, this,
                   &QPlainTextEdit::selectAll);
    menu.addSeparator();
    menu.addAction(Translate(QStringLiteral("LogSaveAs")), this, &LogView::SaveLog);
    menu.exec(event->globalPos());
}

QString LogView::AskLogFile() {
    QFileDialog dialog(this, Translate(QStringLiteral("LogSaveAs")));
    dialog.setNameFilter(Translate(QStringLiteral("LogFiles")) + QStringLiteral(" (*.txt *.log)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    return ChooseFile(dialog);
}

void LogView::SaveLog() {
    const QString path = SaveLogDialog();
    if (path.isEmpty())
        return;
    // Written whole or not at all: a failed save leaves an older file as it was.
    QSaveFile file(path);
    QByteArray text = toPlainText().toUtf8();
    text.append('\n');
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        emit SaveFailed(TranslateFormat(QStringLiteral("LogNotSaved"), {path, file.errorString()}));
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

MessagesPage::MessagesPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsMessages"));
    mem = new LogView(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mem);
}

} // namespace zel
