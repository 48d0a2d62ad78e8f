// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/schedule_page.h"

#include "lang/translate.h"
#include "main/pages/design_day_dialog.h"
#include "main/views/channel_colors.h"
#include "main/widgets/range_mark.h"
#include "main/widgets/widgets.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace zel {

namespace {
constexpr int LineColumnWidth = 30;
constexpr int ChannelColumnWidth = 80;
constexpr int SwitchColumnWidth = 50;
constexpr int DefaultColumnWidth = 46;
constexpr int RowHeight = 18;
constexpr int TextInset = 2;

SwitchWords Words() {
    return {Translate(QStringLiteral("ON")), Translate(QStringLiteral("OFF"))};
}

// The widest text each column shows: a late time or a low sun, a level just under full, a
// switch in either word, a long timer; the line number of the last row.
ScheduleCells WidestCells(const SwitchWords& words) {
    ScheduleRow wide{};
    wide.Hour = 23;
    wide.Minute = 59;
    wide.Alt = -9999;
    for (int16_t& level : wide.Color16)
        level = 4095;
    wide.Timer = -32768;
    ScheduleCells widest = FormatScheduleRow(99, wide, false, words);
    const ScheduleCells geo = FormatScheduleRow(99, wide, true, words);
    if (geo[ColTime].size() > widest[ColTime].size())
        widest[ColTime] = geo[ColTime];
    for (int column = ColDisplay; column <= ColStorms; ++column)
        widest[size_t(column)] = words.On.size() > words.Off.size() ? words.On : words.Off;
    return widest;
}

bool IsChannelColumn(int column) {
    return column >= ColFirstChannel && column < ColDisplay;
}

// Cells the user types into; the others are drawn by the page and never selected.
bool IsTextColumn(int column) {
    return column == ColTime || IsChannelColumn(column) || column == ColTimer;
}
} // namespace

// Draws the cells in the schedule's colours and gives each cell editor the handler that
// commits its row on every change the user makes to the text.
class SchedulePage::CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(SchedulePage* page) : QStyledItemDelegate(page), page_(page) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        const QPersistentModelIndex cell(index);
        page_->edited_ = cell;
        const int session = ++page_->editorSession_;
        connect(edit, &QLineEdit::textEdited, page_,
                [page = page_, cell, session](const QString& text) {
                    if (cell.isValid())
                        page->sgScheduleSetEditText(cell.row(), cell.column(), text, session);
                });
        connect(edit, &QObject::destroyed, page_, [page = page_, cell] {
            if (page->edited_ == cell)
                page->edited_ = QPersistentModelIndex();
        });
        RestoreWhenLeft(edit, page_, [page = page_, cell] { page->ShowStoredCell(cell); });
        return edit;
    }

    // A number the row did not take never reaches the cell.
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (!NotTaken(editor))
            QStyledItemDelegate::setModelData(editor, model, index);
    }

    // The cell takes the editor's text at every keystroke; writing it back would move the
    // cursor under the user's hands.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* edit = static_cast<QLineEdit*>(editor);
        const QString text = index.data().toString();
        if (edit->text() != text)
            edit->setText(text);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int column = index.column();
        const bool selected = option.state & (QStyle::State_Selected | QStyle::State_HasFocus);
        if (column == ColTime || (selected && IsTextColumn(column))) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const int row = page_->ScheduleRowOf(index.row());
        QColor text = option.palette.color(QPalette::Active, QPalette::Text);
        if (!(index.flags() & Qt::ItemIsEnabled))
            text = option.palette.color(QPalette::Disabled, QPalette::Text);
        else if (column == ColLine && row >= 0 && row == page_->MarkedRow())
            text = option.palette.color(QPalette::Active, QPalette::HighlightedText);
        else if (IsChannelColumn(column))
            text = Qt::black; // the channel colours are all light
        painter->save();
        painter->fillRect(option.rect, page_->CellColour(index.row(), column));
        painter->setPen(text);
        painter->drawText(option.rect.adjusted(TextInset, TextInset, 0, 0),
                          Qt::AlignLeft | Qt::AlignTop, index.data().toString());
        painter->restore();
    }

private:
    SchedulePage* page_;
};

SchedulePage::SchedulePage(DeviceState& state, ScheduleHistory& history, QWidget* parent)
    : QWidget(parent), state_(state), history_(history) {
    setObjectName(QStringLiteral("tsSchedule"));
    sgSchedule = Named(new QTableWidget(1, ColFirstChannel + ChannelCount, this),
                       QStringLiteral("sgSchedule"));
    sgSchedule->verticalHeader()->hide();
    sgSchedule->verticalHeader()->setDefaultSectionSize(RowHeight);
    sgSchedule->horizontalHeader()->setDefaultSectionSize(DefaultColumnWidth);
    sgSchedule->horizontalHeader()->setSectionsClickable(false);
    sgSchedule->setWordWrap(false);
    sgSchedule->setSelectionMode(QAbstractItemView::SingleSelection);
    sgSchedule->setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
        QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    sgSchedule->setItemDelegate(new CellDelegate(this));
    sgSchedule->viewport()->installEventFilter(this);
    sgSchedule->horizontalHeader()->viewport()->installEventFilter(this);
    memDescription = Named(new QPlainTextEdit(this), QStringLiteral("memDescription"));
    memDescription->setReadOnly(true);
    // Narrower on a small screen, so that the grid's columns stay in view.
    memDescription->setMinimumWidth(200);
    memDescription->setMaximumWidth(320);

    pumCol = Named(new QMenu(this), QStringLiteral("pumCol"));
    mnuCopyCol = Named(pumCol->addAction(QString()), QStringLiteral("mnuCopyCol"));
    mnuPasteCol = Named(pumCol->addAction(QString()), QStringLiteral("mnuPasteCol"));
    mnuSwapCol = Named(pumCol->addAction(QString()), QStringLiteral("mnuSwapCol"));
    connect(mnuCopyCol, &QAction::triggered, this, &SchedulePage::mnuCopyColClick);
    connect(mnuPasteCol, &QAction::triggered, this, &SchedulePage::mnuPasteColClick);
    connect(mnuSwapCol, &QAction::triggered, this, &SchedulePage::mnuSwapColClick);

    btnDesignDay = Named(new QPushButton(this), QStringLiteral("btnDesignDay"));
    btnScaleLevels = Named(new QPushButton(this), QStringLiteral("btnScaleLevels"));
    connect(btnDesignDay, &QPushButton::clicked, this,
            [this] { OpenDesignDayDialog(state_, history_, this); });
    connect(btnScaleLevels, &QPushButton::clicked, this,
            [this] { OpenScaleLevelsDialog(state_, history_, this); });

    auto* side = new QVBoxLayout;
    side->addWidget(memDescription, 1);
    side->addWidget(btnDesignDay);
    side->addWidget(btnScaleLevels);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(sgSchedule, 3);
    layout->addLayout(side, 1);
}

void SchedulePage::BuildHeader() {
    sgSchedule->setColumnCount(ColFirstChannel + ChannelCount);
    SetHeaderText(ColLine, Translate(QStringLiteral("Line")));
    // Until a mode is known the time column shows times, as in the mode Auto.
    SetHeaderText(ColTime, Translate(QStringLiteral("Time")));
    const char* const switchKeys[] = {"Display", "Clouds", "Storms", "Timer"};
    for (const char* key : switchKeys) {
        const int column = sgSchedule->columnCount();
        sgSchedule->insertColumn(column);
        SetHeaderText(column, Translate(QLatin1String(key)));
    }
    Q_ASSERT(sgSchedule->columnCount() == ScheduleColumnCount);
}

// The designed widths (the second channel page is hidden, so the four channel columns take
// its room), widened where the font needs more for a header or the widest cell; rows as high
// as a line of the font.
void SchedulePage::FitColumns() {
    const QHeaderView* header = sgSchedule->horizontalHeader();
    const QFontMetrics metrics = sgSchedule->fontMetrics();
    const ScheduleCells widest = WidestCells(Words());
    for (int column = 0; column < sgSchedule->columnCount(); ++column) {
        const int designed = column == ColLine         ? LineColumnWidth
                             : IsChannelColumn(column) ? ChannelColumnWidth
                             : column == ColTime       ? DefaultColumnWidth
                                                       : SwitchColumnWidth;
        const int cell = metrics.horizontalAdvance(widest[size_t(column)]) + 3 * TextInset;
        sgSchedule->setColumnWidth(column,
                                   std::max({designed, cell, header->sectionSizeHint(column)}));
    }
    sgSchedule->verticalHeader()->setDefaultSectionSize(
        std::max(RowHeight, metrics.height() + 2 * TextInset));
}

void SchedulePage::SetHeaderText(int column, const QString& text) {
    QTableWidgetItem* item = sgSchedule->horizontalHeaderItem(column);
    if (item && item->text() == text)
        return;
    if (item)
        item->setText(text);
    else
        sgSchedule->setHorizontalHeaderItem(column, new QTableWidgetItem(text));
    FitColumns();
}

void SchedulePage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitColumns();
}

void SchedulePage::SetChannelHeader(int channel, const QString& text) {
    SetHeaderText(ColFirstChannel + channel, text);
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

// ---- Cells --------------------------------------------------------------------------------

int SchedulePage::ScheduleRowOf(int tableRow) const {
    return tableRow >= 0 && tableRow < int(state_.Schedule.size()) ? tableRow : -1;
}

bool SchedulePage::Editing(int tableRow, int column) const {
    return edited_.isValid() && edited_.row() == tableRow && edited_.column() == column;
}

bool SchedulePage::Geo() const {
    return state_.Config.Mode == ModeGeo;
}

QTableWidgetItem* SchedulePage::Cell(int tableRow, int column) {
    QTableWidgetItem* item = sgSchedule->item(tableRow, column);
    if (!item) {
        item = new QTableWidgetItem;
        sgSchedule->setItem(tableRow, column, item);
    }
    return item;
}

void SchedulePage::ShowRow(int tableRow) {
    const int index = ScheduleRowOf(tableRow);
    ScheduleCells cells;
    if (index >= 0)
        cells = FormatScheduleRow(index, state_.Schedule[size_t(index)], Geo(), Words());
    // The empty line of an empty schedule stands for no row; rows that cannot be sent are
    // greyed, so that no edit looks as if it reached the controller.
    const bool notSent = index >= FirstRowNotSent;
    const QString hint = notSent ? Translate(QStringLiteral("ScheduleRowNotSent")) : QString();
    for (int column = 0; column < ScheduleColumnCount; ++column) {
        QTableWidgetItem* item = Cell(tableRow, column);
        Qt::ItemFlags flags = notSent ? Qt::NoItemFlags : Qt::ItemIsEnabled;
        if (Sendable(index) && IsTextColumn(column))
            flags |= Qt::ItemIsSelectable | Qt::ItemIsEditable;
        if (item->flags() != flags)
            item->setFlags(flags);
        if (item->toolTip() != hint)
            item->setToolTip(hint);
        if (!Editing(tableRow, column) && item->text() != cells[size_t(column)])
            item->setText(cells[size_t(column)]);
    }
}

QColor SchedulePage::CellColour(int tableRow, int column) const {
    const QPalette& colours = sgSchedule->palette();
    if (column == ColLine) {
        const int row = ScheduleRowOf(tableRow);
        return colours.color(row >= 0 && row == markedRow_ ? QPalette::Highlight
                                                           : QPalette::Button);
    }
    if (IsChannelColumn(column))
        return QColor::fromRgba(
            ChannelDisplayColor(state_.Config.ColorName[column - ColFirstChannel]));
    const int row = ScheduleRowOf(tableRow);
    const bool off = IsSwitchColumn(column) && row >= 0 &&
                     (state_.Schedule[size_t(row)].Switch & SwitchBitOf(column)) == 0;
    return colours.color(off ? QPalette::Button : QPalette::Base);
}

void SchedulePage::FillScheduleGrid() {
    SetHeaderText(ColTime, Translate(Geo() ? QStringLiteral("Altitude") : QStringLiteral("Time")));
    // An empty schedule still shows one (empty) line under the header.
    const int rows = std::max<int>(1, int(state_.Schedule.size()));
    sgSchedule->setRowCount(rows);
    markedRow_ = state_.Info.CurrentRow;
    for (int row = 0; row < rows; ++row)
        ShowRow(row);
    sgSchedule->viewport()->update();
}

void SchedulePage::CommitScheduleRow(int index, int mergeKey) {
    if (!Sendable(index) || index >= int(state_.Schedule.size()))
        return;
    ScheduleCells cells;
    for (int column = 0; column < ScheduleColumnCount; ++column)
        if (const QTableWidgetItem* item = sgSchedule->item(TableRowOf(index), column))
            cells[size_t(column)] = item->text();
    history_.Make({index,
                   {ParseScheduleRow(state_.Schedule[size_t(index)], cells, Geo(), Words())},
                   std::nullopt},
                  mergeKey);
}

void SchedulePage::ShowStoredCell(const QPersistentModelIndex& cell) {
    const int index = cell.isValid() ? ScheduleRowOf(cell.row()) : -1;
    if (index < 0)
        return;
    const ScheduleCells cells =
        FormatScheduleRow(index, state_.Schedule[size_t(index)], Geo(), Words());
    Cell(cell.row(), cell.column())->setText(cells[size_t(cell.column())]);
}

// Every keystroke has committed the editor's text already; once closed, the cell shows what
// comes next (an undo's row) instead of the text typed.
void SchedulePage::CloseCellEditor() {
    if (QWidget* editor = edited_.isValid() ? sgSchedule->indexWidget(edited_) : nullptr) {
        emit sgSchedule->itemDelegate()->commitData(editor);
        emit sgSchedule->itemDelegate()->closeEditor(editor);
    }
    edited_ = QPersistentModelIndex();
}

void SchedulePage::ApplyScheduleChange(const ScheduleChange& change) {
    int count = 0;
    for (const ScheduleRow& row : change.Rows) {
        const int index = change.FirstRow + count;
        if (!Sendable(index) || index >= int(state_.Schedule.size()))
            break;
        state_.Schedule[size_t(index)] = row;
        ++count;
    }
    if (change.ColorNames) {
        for (int channel = 0; channel < ChannelCount; ++channel)
            state_.Config.ColorName[channel] = (*change.ColorNames)[size_t(channel)];
    } else if (count == 0) {
        return;
    }
    state_.MarkRows(change.FirstRow, count, change.ColorNames ? uint32_t(rqSetConfig) : 0u);
    if (change.ColorNames) {
        emit ChannelNamesChanged();
        FillScheduleGrid();
    } else {
        for (int k = 0; k < count; ++k)
            ShowRow(TableRowOf(change.FirstRow + k));
        sgSchedule->viewport()->update();
    }
    emit ScheduleEdited();
}

// ---- Handlers -----------------------------------------------------------------------------

void SchedulePage::sgScheduleSetEditText(int tableRow, int column, const QString& text,
                                         int editorSession) {
    if (text.isEmpty())
        return;
    const int index = ScheduleRowOf(tableRow);
    auto* editor = qobject_cast<QLineEdit*>(
        sgSchedule->indexWidget(sgSchedule->model()->index(tableRow, column)));
    if (index >= 0 && editor) {
        const std::optional<TypedCell> typed =
            TypeScheduleCell(state_.Schedule[size_t(index)], column, text, Geo());
        if (typed && !ShowTyped(editor, typed->Verdict, RangeBetween(typed->Min, typed->Max)))
            return;
    }
    Cell(tableRow, column)->setText(text);
    CommitScheduleRow(ScheduleRowOf(tableRow), editorSession);
}

bool SchedulePage::sgScheduleMouseDown(Qt::MouseButton button, int tableRow, int column,
                                       const QPoint& globalPosition) {
    const int index = ScheduleRowOf(tableRow);
    if (button == Qt::LeftButton && tableRow >= 0) {
        if (IsSwitchColumn(column)) {
            if (Sendable(index)) {
                QTableWidgetItem* item = Cell(tableRow, column);
                const SwitchWords words = Words();
                item->setText(item->text() == words.On ? words.Off : words.On);
                CommitScheduleRow(index);
            }
            return true;
        }
        if (column == ColLine && Sendable(index)) {
            // An open cell editor is committed and closed before rows move under it.
            sgSchedule->setCurrentIndex(sgSchedule->model()->index(tableRow, ColLine));
            dragRow_ = tableRow;
            sgSchedule->viewport()->setCursor(Qt::SizeVerCursor);
            return true;
        }
        return false;
    }
    if (button != Qt::RightButton)
        return false;
    SelectedColumn = column - ColFirstChannel;
    if (tableRow < 0 && IsChannelColumn(column)) {
        pumColPopup();
        pumCol->popup(globalPosition);
        return true;
    }
    if (column == ColLine && Sendable(index)) {
        state_.Info.CurrentRow = int8_t(index);
        MarkCurrentRow(index);
        state_.Raise(rqSetRow);
        return true;
    }
    return false;
}

void SchedulePage::sgScheduleRowMoved(int fromRow, int toRow) {
    const int from = ScheduleRowOf(fromRow);
    const int to = ScheduleRowOf(toRow);
    if (!Sendable(from) || !Sendable(to) || from == to)
        return;
    const int first = std::min(from, to);
    const int last = std::max(from, to);
    std::vector<ScheduleRow> rows(state_.Schedule.begin() + first,
                                  state_.Schedule.begin() + last + 1);
    // The dragged row lands at `to`; the rows between close up behind it.
    if (from < to)
        std::rotate(rows.begin(), rows.begin() + 1, rows.end());
    else
        std::rotate(rows.begin(), rows.end() - 1, rows.end());
    history_.Make({first, std::move(rows), std::nullopt});
}

void SchedulePage::pumColPopup() {
    const bool copied = CopiedColumn != -1;
    mnuPasteCol->setEnabled(copied);
    mnuSwapCol->setEnabled(copied);
}

void SchedulePage::mnuCopyColClick() {
    CopiedColumn = SelectedColumn;
}

void SchedulePage::mnuPasteColClick() {
    PasteOrSwap(false);
}

void SchedulePage::mnuSwapColClick() {
    PasteOrSwap(true);
}

// Paste: the selected channel takes the copied one's name and level in every row. Swap: the
// two channels exchange names and levels. Both use the columns as they are now.
void SchedulePage::PasteOrSwap(bool swap) {
    const int target = SelectedColumn;
    const int source = CopiedColumn;
    if (target < 0 || target >= ChannelCount || source < 0 || source >= ChannelCount)
        return;
    ScheduleChange change;
    std::array<uint8_t, ChannelCount> names{};
    for (int channel = 0; channel < ChannelCount; ++channel)
        names[size_t(channel)] = state_.Config.ColorName[channel];
    names[size_t(target)] = state_.Config.ColorName[source];
    if (swap)
        names[size_t(source)] = state_.Config.ColorName[target];
    change.ColorNames = names;
    const size_t count = std::min(state_.Schedule.size(), size_t(FirstRowNotSent));
    for (size_t index = 0; index < count; ++index) {
        ScheduleRow row = state_.Schedule[index];
        const int16_t copied = row.Color16[source];
        const int16_t selected = row.Color16[target];
        row.Color16[target] = copied;
        if (swap)
            row.Color16[source] = selected;
        change.Rows.push_back(row);
    }
    history_.Make(change);
}

// ---- Mouse --------------------------------------------------------------------------------

bool SchedulePage::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
                       type == QEvent::MouseButtonRelease;
    if (mouse && watched == sgSchedule->viewport())
        return GridMouseEvent(static_cast<QMouseEvent*>(event));
    if (mouse && watched == sgSchedule->horizontalHeader()->viewport())
        return HeaderMouseEvent(static_cast<QMouseEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

bool SchedulePage::GridMouseEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    if (event->type() == QEvent::MouseButtonRelease) {
        if (dragRow_ < 0 || event->button() != Qt::LeftButton)
            return false;
        const int from = dragRow_;
        dragRow_ = -1;
        sgSchedule->viewport()->unsetCursor();
        int to = sgSchedule->rowAt(position.y());
        if (to < 0)
            to = position.y() < 0 ? 0 : sgSchedule->rowCount() - 1;
        sgScheduleRowMoved(from, std::min(to, TableRowOf(FirstRowNotSent - 1)));
        return true;
    }
    const QModelIndex cell = sgSchedule->indexAt(position);
    if (!cell.isValid())
        return false;
    // A double click opens a text cell's editor, but is two clicks for a switch.
    if (event->type() == QEvent::MouseButtonDblClick && !IsSwitchColumn(cell.column()))
        return false;
    return sgScheduleMouseDown(event->button(), cell.row(), cell.column(),
                               event->globalPosition().toPoint());
}

bool SchedulePage::HeaderMouseEvent(QMouseEvent* event) {
    if (event->type() != QEvent::MouseButtonPress)
        return false;
    const int column = sgSchedule->horizontalHeader()->logicalIndexAt(event->position().toPoint());
    if (column < 0)
        return false;
    return sgScheduleMouseDown(event->button(), -1, column, event->globalPosition().toPoint());
}

} // namespace zel
