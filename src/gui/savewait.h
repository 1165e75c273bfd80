#ifndef SAVEWAIT_H
#define SAVEWAIT_H

#include <QObject>
#include <QString>

class QProgressDialog;
class QWidget;

// While a change waits for another station's save to end (its lock on the calibration file), shows
// what the window waits for, with a busy cursor, keeps the window drawn, and lets the operator cancel
// the wait. The store calls Wait between its tries for the lock.
class TSaveWait : public QObject
{
    Q_OBJECT

public:
    explicit TSaveWait(QWidget* window);
    ~TSaveWait() override;

    // Lets the window go on for a moment, the first time showing that it waits for the save guarded by
    // lock_name; false once the operator cancelled the wait.
    bool Wait(const QString& lock_name);
    // The wait is over: the window is as it was before.
    void Finish();

private:
    QWidget* window;
    QProgressDialog* dialog = nullptr;
    bool waiting = false;
};

#endif // SAVEWAIT_H
