#include "clock.h"

QDateTime TClock::fixed_now;

QDateTime TClock::Now()
{
    return fixed_now.isValid() ? fixed_now : QDateTime::currentDateTime();
}

void TClock::Set_Fixed_Now(const QDateTime& now)
{
    fixed_now = now;
}
