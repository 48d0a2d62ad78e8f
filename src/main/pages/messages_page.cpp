#include "main/pages/messages_page.h"

#include "main/widgets/widgets.h"

#include <QFontDatabase>
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
