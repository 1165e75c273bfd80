#ifndef CLOCK_H
#define CLOCK_H

#include <QDate>
#include <QDateTime>

// The one source of "today" and "now" for the program. Tests fix the time here instead of waiting
// for it, e.g. to step over midnight.
class TClock
{
public:
    static QDateTime Now();
    static QDate Today() { return Now().date(); }
    // A valid time fixes the clock at it; an invalid one lets it run with the system clock again.
    static void Set_Fixed_Now(const QDateTime& now);

private:
    static QDateTime fixed_now;
};

#endif // CLOCK_H
