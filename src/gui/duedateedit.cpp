#include "duedateedit.h"

#include "clock.h"
#include "datetext.h"

#include <QKeyEvent>
#include <QLocale>
#include <QRegularExpression>

QDate Parse_Due_Date_Text(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([A-Za-z]{3})\\s+(\\d{1,2})\\s+(\\d{4})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
    {
        return QDate();
    }
    for (int month = 1; month <= 12; ++month)
    {
        if (QLocale::c()
                .monthName(month, QLocale::ShortFormat)
                .compare(match.captured(1), Qt::CaseInsensitive) == 0)
        {
            return QDate(match.captured(3).toInt(), month, match.captured(2).toInt());
        }
    }
    return QDate();
}

namespace
{

// Stands for no date: the first the edit takes, which no due date is. Qt 5's own first date, also
// under Qt 6, so that both show the same.
const QDate No_Date(1752, 9, 14);

} // namespace

TDueDateEdit::TDueDateEdit(QWidget* parent) : QDateEdit(parent)
{
    // Month names as displayed and logged everywhere else, whatever the system's language.
    setLocale(QLocale::c());
    setDisplayFormat(Due_Date_Format);
    setMinimumDate(No_Date);
    setSpecialValueText("not set");
}

void TDueDateEdit::Set_Due_Date(const QDate& date)
{
    setDate(date.isValid() && date > No_Date ? date : No_Date);
}

QDate TDueDateEdit::Due_Date() const
{
    return date() == No_Date ? QDate() : date();
}

void TDueDateEdit::stepBy(int steps)
{
    // From no date, a step up or down starts at today rather than in 1752.
    if (Due_Date().isNull())
    {
        setDate(TClock::Today());
        return;
    }
    QDateEdit::stepBy(steps);
}

bool TDueDateEdit::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress)
    {
        const QKeyEvent* key_event = static_cast<QKeyEvent*>(event);
        const bool is_tab = key_event->key() == Qt::Key_Tab || key_event->key() == Qt::Key_Backtab;
        if (is_tab && !(key_event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        {
            // The widget's own focus chain, past QDateTimeEdit's step from part to part.
            const bool forward =
                key_event->key() == Qt::Key_Tab && !(key_event->modifiers() & Qt::ShiftModifier);
            QAbstractSpinBox::focusNextPrevChild(forward);
            return true;
        }
    }
    return QDateEdit::event(event);
}

void TDueDateEdit::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    const bool is_text = text.size() == 1 && text.at(0).isPrint() &&
                         !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!is_text)
    {
        if (event->key() == Qt::Key_Backspace)
        {
            typed.chop(1);
        }
        else
        {
            typed.clear();
        }
        QDateEdit::keyPressEvent(event);
        return;
    }

    typed += text;
    QDateEdit::keyPressEvent(event);
    // The section editing has done what it could with the key; a full date typed last wins over it,
    // also after a slip typed before it.
    for (int start = 0; start < typed.size(); ++start)
    {
        const QDate date = Parse_Due_Date_Text(typed.mid(start));
        if (date.isValid())
        {
            typed.clear();
            setDate(date);
            return;
        }
    }
}

void TDueDateEdit::focusInEvent(QFocusEvent* event)
{
    typed.clear();
    QDateEdit::focusInEvent(event);
}

void TDueDateEdit::mousePressEvent(QMouseEvent* event)
{
    typed.clear();
    QDateEdit::mousePressEvent(event);
}
