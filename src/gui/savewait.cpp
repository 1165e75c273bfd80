#include "savewait.h"

#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QTimer>

namespace
{

// As often as the store tries the lock again.
constexpr int Wait_Step = 50;

} // namespace

TSaveWait::TSaveWait(QWidget* window) : QObject(window), window(window) {}

TSaveWait::~TSaveWait()
{
    Finish();
}

bool TSaveWait::Wait(const QString& lock_name)
{
    if (!waiting)
    {
        waiting = true;
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        if (dialog == nullptr)
        {
            dialog = new QProgressDialog(window);
            dialog->setObjectName("Save_Wait_Dialog");
            dialog->setWindowTitle("Velmora");
            dialog->setCancelButtonText("&Cancel");
            // No steps to count: the bar only shows that the window is busy.
            dialog->setRange(0, 0);
            dialog->setAutoClose(false);
            dialog->setAutoReset(false);
            dialog->setMinimumDuration(0);
            // Nothing else may change the data while a change is under way.
            dialog->setWindowModality(Qt::ApplicationModal);
        }
        QString file_name = lock_name;
        file_name.chop(int(QStringLiteral(".lock").size()));
        dialog->setLabelText(QString("Waiting for another station's save of '%1'...")
                                 .arg(QDir::toNativeSeparators(file_name)));
        dialog->reset();
        dialog->show();
    }
    // The window's events go on meanwhile: it is drawn, and the cancel button works.
    QEventLoop loop;
    QTimer::singleShot(Wait_Step, &loop, &QEventLoop::quit);
    connect(dialog, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
    loop.exec();
    return !dialog->wasCanceled();
}

void TSaveWait::Finish()
{
    if (!waiting)
    {
        return;
    }
    waiting = false;
    dialog->hide();
    QGuiApplication::restoreOverrideCursor();
}
