#ifndef DUEDATEEDIT_H
#define DUEDATEEDIT_H

#include <QDate>
#include <QDateEdit>
#include <QString>

// "Jun 30 2027" as the editor displays dates: month abbreviation in English, day, four-digit year,
// separated by blanks; letter case is ignored. A null date for anything else.
QDate Parse_Due_Date_Text(const QString& text);

// A date edit in which a date typed out in full, as it is displayed, gives that date. The plain
// QDateEdit edits section by section: a finished month jumps on to the day, the blank typed next
// jumps on again to the year, and text typed over a whole selection is refused, so that typing
// "Jun 30 2027" ended on another date without a word. Tab leaves it like any other field: a plain
// QDateEdit takes one Tab per part of the date, which the operator mistakes for the field's end.
// The arrow keys still go from part to part and change them.
// It may also show no date at all, for a due date still to be typed: the arrow keys then start from
// today.
class TDueDateEdit : public QDateEdit
{
public:
    explicit TDueDateEdit(QWidget* parent = nullptr);

    // Shows date; a null date shows the field blank ("not set").
    void Set_Due_Date(const QDate& date);
    // The date shown; a null date while the field is blank.
    QDate Due_Date() const;

    void stepBy(int steps) override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // What the operator typed since the edit last got the focus or a key other than text.
    QString typed;
};

#endif // DUEDATEEDIT_H
