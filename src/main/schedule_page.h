#pragma once

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QWidget>

namespace zel {

// The page "Schedule" (tsSchedule): the schedule grid with its column menu, and the memo that
// explains the rules.
class SchedulePage : public QWidget {
    Q_OBJECT
public:
    explicit SchedulePage(QWidget* parent);

    QTableWidget* sgSchedule;
    QPlainTextEdit* memDescription;
    QMenu* pumCol;
    QAction* mnuCopyCol;
    QAction* mnuPasteCol;
    QAction* mnuSwapCol;

    // The fixed columns' headers and widths, in the language in use.
    void BuildHeader();
    // Header of a channel's column (2 to 5).
    void SetChannelHeader(int channel, const QString& text);
    // The controller's current row as the grid highlights it; repaints only when it moved.
    void MarkCurrentRow(int row);
    int MarkedRow() const { return markedRow_; }
    void SetConnected(bool connected);

private:
    void SetHeader(int column, const QString& text, int width);
    void SetHeaderText(int column, const QString& text);

    int markedRow_ = -1;
};

} // namespace zel
