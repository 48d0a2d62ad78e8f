// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "main/pages/schedule_cells.h"
#include "main/pages/schedule_history.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

namespace zel {

// The page "Schedule" (tsSchedule): the schedule grid sgSchedule with its column menu, and the
// memo that explains the rules. Every cell change goes into Schedule at once and uploads its
// row; the grid can reorder rows but neither add nor remove them.
//
// The grid's header row is Qt's horizontal header, so table row r shows schedule row r
// (ScheduleRowOf); handlers that take a row use -1 for the header.
class SchedulePage : public QWidget {
    Q_OBJECT
public:
    // Every change the user makes here goes into the history through it.
    SchedulePage(DeviceState& state, ScheduleHistory& history, QWidget* parent);

    QTableWidget* sgSchedule;
    QPlainTextEdit* memDescription;
    QMenu* pumCol;
    QAction* mnuCopyCol;
    QAction* mnuPasteCol;
    QAction* mnuSwapCol;
    QPushButton* btnDesignDay;
    QPushButton* btnScaleLevels;

    // The channel index (column - 2) of the last right click, and the one "Copy" remembered
    // (-1: nothing copied).
    int SelectedColumn = -1;
    int CopiedColumn = -1;

    // Row indexes travel as a signed byte: rows from here on can never be uploaded, so the
    // grid shows them read-only.
    static constexpr int FirstRowNotSent = 128;

    // The fixed columns' headers and widths, in the language in use.
    void BuildHeader();
    // Header of a channel's column (2 to 5).
    void SetChannelHeader(int channel, const QString& text);
    // The controller's current row as the grid highlights it; repaints only when it moved.
    void MarkCurrentRow(int row);
    int MarkedRow() const { return markedRow_; }
    void SetConnected(bool connected);

    // Every cell from Schedule and Config.Mode; the cell being edited keeps its text.
    void FillScheduleGrid();
    // The cells of schedule row `index`, each parsed on its own, into the row, which is
    // uploaded. Rows outside the schedule or beyond the sendable ones are left alone.
    // mergeKey: the keystrokes of one cell editor make one edit of the history.
    void CommitScheduleRow(int index, int mergeKey = 0);
    // The one road of every change to schedule rows, the user's and the history's undo and
    // redo: stores the rows (only rows that exist and can be sent), shows them, marks them for
    // upload and raises rqSetSchedule (with ColorNames also Config's names and rqSetConfig) in
    // one locked step. The user's changes reach it through the history.
    void ApplyScheduleChange(const ScheduleChange& change);
    // Closes an open cell editor, its text committed, so that the cell shows the row again.
    void CloseCellEditor();
    // The cell shows its field of the row again (after a number the row did not take).
    void ShowStoredCell(const QPersistentModelIndex& cell);

    // Schedule row shown by table row `tableRow`; -1 for the empty line of an empty schedule.
    int ScheduleRowOf(int tableRow) const;
    // Table row that shows schedule row `index`.
    static int TableRowOf(int index) { return index; }
    static bool Sendable(int index) { return index >= 0 && index < FirstRowNotSent; }
    bool Editing(int tableRow, int column) const;

    // Handlers.
    // editorSession: which opening of a cell editor the text comes from.
    void sgScheduleSetEditText(int tableRow, int column, const QString& text, int editorSession);
    // tableRow -1: the header. Returns whether the press was taken (a switch toggled, a row
    // drag begun).
    bool sgScheduleMouseDown(Qt::MouseButton button, int tableRow, int column,
                             const QPoint& globalPosition);
    void sgScheduleRowMoved(int fromRow, int toRow);
    void pumColPopup();
    void mnuCopyColClick();
    void mnuPasteColClick();
    void mnuSwapColClick();

    // The fill colour of a data cell as the grid draws it.
    QColor CellColour(int tableRow, int column) const;

signals:
    // The user changed schedule rows here: the visualisation redraws.
    void ScheduleEdited();
    // A paste or swap changed Config's channel names.
    void ChannelNamesChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class CellDelegate;

    void FitColumns();
    void SetHeaderText(int column, const QString& text);
    void ShowRow(int tableRow);
    QTableWidgetItem* Cell(int tableRow, int column);
    bool Geo() const;
    void PasteOrSwap(bool swap);
    bool GridMouseEvent(QMouseEvent* event);
    bool HeaderMouseEvent(QMouseEvent* event);

    DeviceState& state_;
    ScheduleHistory& history_;
    int editorSession_ = 0; // counts the cell editors opened
    int markedRow_ = -1;
    int dragRow_ = -1;
    QPersistentModelIndex edited_;
};

} // namespace zel
