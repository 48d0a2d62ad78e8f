// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include <functional>

namespace zel {

// The message log `mem`: read-only, no wrapping, only ever appended to. It starts with the
// safety note of the language table.
class LogView : public QPlainTextEdit {
    Q_OBJECT
public:
    // The window may stay open for weeks, and a link that keeps failing logs a few lines a
    // second at about a kilobyte each in the view: beyond this many the oldest lines give way.
    static constexpr int LineLimit = 3000;

    explicit LogView(QWidget* parent);

    // The note in the language in use, in front of every line logged so far.
    void SetSafetyNote(const QString& note);
    void AppendEntry(const QString& entry);

    // Where "Save log as…" writes; empty is a cancel. A test answers in place of the dialog.
    std::function<QString()> SaveLogDialog;

signals:
    void DoubleClicked();
    void SaveFailed(const QString& message);

protected:
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QString AskLogFile();
    void SaveLog();
};

// The page "Messages" (tsMessages).
class MessagesPage : public QWidget {
    Q_OBJECT
public:
    explicit MessagesPage(QWidget* parent);

    LogView* mem;
};

} // namespace zel
