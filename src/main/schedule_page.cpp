#include "main/schedule_page.h"

#include "cfg/records.h"
#include "lang/translate.h"
#include "main/widgets.h"

#include <QHBoxLayout>
#include <QHeaderView>

namespace zel {

namespace {
constexpr int FirstChannelColumn = 2;
constexpr int ColumnCount = 10;
constexpr int LineColumnWidth = 30;
constexpr int ChannelColumnWidth = 80;
constexpr int SwitchColumnWidth = 50;
constexpr int DefaultColumnWidth = 46;
constexpr int RowHeight = 18;
} // namespace

SchedulePage::SchedulePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsSchedule"));
    sgSchedule = Named(new QTableWidget(1, FirstChannelColumn + ChannelCount, this),
                       QStringLiteral("sgSchedule"));
    sgSchedule->verticalHeader()->hide();
    sgSchedule->verticalHeader()->setDefaultSectionSize(RowHeight);
    sgSchedule->horizontalHeader()->setDefaultSectionSize(DefaultColumnWidth);
    memDescription = Named(new QPlainTextEdit(this), QStringLiteral("memDescription"));
    memDescription->setReadOnly(true);
    memDescription->setFixedWidth(320);

    pumCol = Named(new QMenu(this), QStringLiteral("pumCol"));
    mnuCopyCol = Named(pumCol->addAction(QString()), QStringLiteral("mnuCopyCol"));
    mnuPasteCol = Named(pumCol->addAction(QString()), QStringLiteral("mnuPasteCol"));
    mnuSwapCol = Named(pumCol->addAction(QString()), QStringLiteral("mnuSwapCol"));

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(sgSchedule, 1);
    layout->addWidget(memDescription);
}

void SchedulePage::BuildHeader() {
    sgSchedule->setColumnCount(FirstChannelColumn + ChannelCount);
    SetHeader(0, Translate(QStringLiteral("Line")), LineColumnWidth);
    // Until a mode is known the time column shows times, as in the mode Auto.
    SetHeaderText(1, Translate(QStringLiteral("Time")));
    const char* const switchKeys[] = {"Display", "Clouds", "Storms", "Timer"};
    for (const char* key : switchKeys) {
        const int column = sgSchedule->columnCount();
        sgSchedule->insertColumn(column);
        SetHeader(column, Translate(QLatin1String(key)), SwitchColumnWidth);
    }
    // The second channel page is hidden, so the four channel columns take its room.
    for (int channel = 0; channel < ChannelCount; ++channel)
        sgSchedule->setColumnWidth(FirstChannelColumn + channel, ChannelColumnWidth);
    Q_ASSERT(sgSchedule->columnCount() == ColumnCount);
}

void SchedulePage::SetHeader(int column, const QString& text, int width) {
    SetHeaderText(column, text);
    sgSchedule->setColumnWidth(column, width);
}

void SchedulePage::SetHeaderText(int column, const QString& text) {
    if (QTableWidgetItem* item = sgSchedule->horizontalHeaderItem(column))
        item->setText(text);
    else
        sgSchedule->setHorizontalHeaderItem(column, new QTableWidgetItem(text));
}

void SchedulePage::SetChannelHeader(int channel, const QString& text) {
    SetHeaderText(FirstChannelColumn + channel, text);
}

void SchedulePage::MarkCurrentRow(int row) {
    if (row == markedRow_)
        return;
    markedRow_ = row;
    sgSchedule->viewport()->update();
}

void SchedulePage::SetConnected(bool connected) {
    setEnabled(connected);
    memDescription->setEnabled(connected);
}

} // namespace zel
