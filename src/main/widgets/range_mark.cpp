// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/widgets/range_mark.h"

#include "lang/translate.h"

#include <QEvent>
#include <QFocusEvent>
#include <QPointer>
#include <QVariant>

namespace zel {

namespace {
// Properties of an edit: its tooltip before it was marked (set only while marked), the range
// while its text is not taken, and whether the log has said so.
const char* const HintBefore = "HintBeforeOutOfRange";
const char* const RangeNotTaken = "RangeNotTaken";
const char* const Logged = "NotTakenLogged";

struct RefusalLog {
    QPointer<QObject> Owner;
    std::function<void(const QString&)> Write;
};

RefusalLog& Log() {
    static RefusalLog log;
    return log;
}

void WriteLine(const QString& text, const QString& range) {
    if (Log().Owner && Log().Write)
        Log().Write(TranslateFormat(QStringLiteral("NotTaken"), {text, range}));
}

void Mark(QLineEdit* edit, const QString& range) {
    if (!MarkedOutOfRange(edit))
        edit->setProperty(HintBefore, edit->toolTip());
    edit->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid #d00000; }"));
    edit->setToolTip(TranslateFormat(QStringLiteral("RangeHint"), {range}));
}

void ClearMark(QLineEdit* edit) {
    if (!MarkedOutOfRange(edit))
        return;
    edit->setStyleSheet(QString());
    edit->setToolTip(edit->property(HintBefore).toString());
    edit->setProperty(HintBefore, QVariant());
}

void Forget(QLineEdit* edit) {
    ClearMark(edit);
    edit->setProperty(RangeNotTaken, QVariant());
    edit->setProperty(Logged, QVariant());
}

// Watches one edit for the focus leaving it.
class LeaveWatch : public QObject {
public:
    LeaveWatch(QLineEdit* edit, QObject* context, std::function<void()> showStored)
        : QObject(edit), context_(context), showStored_(std::move(showStored)) {
        edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusOut || !NotTaken(watched))
            return false;
        // A menu or another window takes the focus only for a while.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            return false;
        // Not a line edit any more while it is being destroyed: nothing to restore then.
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (!edit)
            return false;
        const QString text = edit->text();
        const QString range = edit->property(RangeNotTaken).toString();
        const bool logged = edit->property(Logged).toBool();
        QMetaObject::invokeMethod(
            context_,
            [edit = QPointer<QLineEdit>(edit), text, range, logged, show = showStored_] {
                if (edit && edit->hasFocus())
                    return; // back in it before the event loop came round
                if (!logged)
                    WriteLine(text, range);
                if (edit)
                    Forget(edit);
                show();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    QObject* context_;
    std::function<void()> showStored_;
};
} // namespace

QString RangeBetween(const QString& min, const QString& max) {
    return min + QStringLiteral(" – ") + max;
}

bool ShowTyped(QLineEdit* edit, TypedValue verdict, const QString& range) {
    switch (verdict) {
    case TypedValue::Taken:
        Forget(edit);
        return true;
    case TypedValue::Unfinished:
        ClearMark(edit);
        edit->setProperty(RangeNotTaken, range);
        return false;
    case TypedValue::Refused:
        Mark(edit, range);
        edit->setProperty(RangeNotTaken, range);
        if (!edit->property(Logged).toBool()) {
            edit->setProperty(Logged, true);
            WriteLine(edit->text(), range);
        }
        return false;
    }
    return false;
}

void RestoreWhenLeft(QLineEdit* edit, QObject* context, std::function<void()> showStored) {
    new LeaveWatch(edit, context, std::move(showStored));
}

bool NotTaken(const QObject* edit) {
    return edit->property(RangeNotTaken).isValid();
}

bool MarkedOutOfRange(const QLineEdit* edit) {
    return edit->property(HintBefore).isValid();
}

void SetRefusalLog(QObject* owner, std::function<void(const QString&)> log) {
    Log() = {owner, std::move(log)};
}

} // namespace zel
