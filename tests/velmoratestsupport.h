#ifndef VELMORATESTSUPPORT_H
#define VELMORATESTSUPPORT_H

// Shared by the main window tests: a clean data directory, widget lookup, calibration files and
// answering modal dialogs.

#include "qtcompat.h"
#include "thermometerdata.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace Test_Support
{

inline QString Data_Directory()
{
    return QCoreApplication::applicationDirPath() + "/.velmora";
}
inline QString Calibration_File()
{
    return Data_Directory() + "/calibration_data.xml";
}

inline void Remove_Data_Directories()
{
    QFile::remove(Data_Directory());
    QDir(Data_Directory()).removeRecursively();
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
}

template <typename T> T* Child(QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    if (child == nullptr)
    {
        qFatal("no child %s", name);
    }
    return child;
}

inline QString Text(QWidget* window, const char* line_edit)
{
    return Child<QLineEdit>(window, line_edit)->text();
}

inline QStringList Corrected_Texts(QWidget* window)
{
    return {Text(window, "X_Corrected_Field"), Text(window, "Y_Corrected_Field"),
            Text(window, "Z_Corrected_Field"), Text(window, "Part_Corrected_Field")};
}

inline QStringList Log_Lines(QWidget* window)
{
    return Child<QPlainTextEdit>(window, "Log_Pane")->toPlainText().split('\n');
}

// Types text into a field and presses Return, which finishes its editing.
inline void Type(QWidget* parent, const char* line_edit, const QString& text)
{
    QLineEdit* field = Child<QLineEdit>(parent, line_edit);
    field->clear();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

// Stores a setting as if the window had saved it at its last close.
inline void Store_Setting(const QString& key, const QVariant& value)
{
    QDir().mkpath(Data_Directory());
    QSettings settings(Data_Directory() + "/velmora_settings.ini", QSettings::IniFormat);
    Use_Utf8_Ini_Encoding(&settings);
    settings.setValue(key, value);
}

// Runs action while files may grow to bytes only, as on a full disk: writes beyond fail with EFBIG.
inline void With_File_Size_Limit(rlim_t bytes, const std::function<void()>& action)
{
    struct rlimit previous;
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = previous;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
    action();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previous_handler);
}

inline QByteArray Read_File(const QString& file_name)
{
    QFile file(file_name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool Write_File(const QString& file_name, const QByteArray& content)
{
    QFile file(file_name);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush();
}

// A thermometer whose three test points are read offset higher than the references 15, 20, 25:
// with the default offset a reading of 20 is corrected to 19.88.
struct TThermometer
{
    QString description;
    double offset = 0.12;
    QDate due_date = QDate::currentDate().addYears(1);
    QList<double> references = {15, 20, 25};
};

inline TThermometerCorrection Correction(double x1, double y1, double x2, double y2, double x3, double y3)
{
    return TThermometerCorrection(TVector2(x1, y1), TVector2(x2, y2), TVector2(x3, y3));
}

// Writes the calibration data file the way the program itself saves it.
inline bool Write_Calibration_File(const QList<TThermometer>& thermometers,
                                   const QString& file_name = Calibration_File())
{
    QDir().mkpath(QFileInfo(file_name).path());
    TThermometerList list;
    for (const TThermometer& thermometer : thermometers)
    {
        const QList<double>& t = thermometer.references;
        const double offset = thermometer.offset;
        const TCorrectionDialogData data{t[0],          t[1],          t[2], t[0] + offset,
                                         t[1] + offset, t[2] + offset, {},   {}};
        list.Set_Correction_Data(thermometer.description, data);
        list.Set_Calibration_Due_Date(thermometer.description, thermometer.due_date);
    }
    return list.Save_Calibration_File(file_name);
}

// Runs answer inside the event loop of the next modal widget that opens and inherits class_name,
// so several answers can wait for the dialogs of one slot in turn.
inline void Answer_Next_Modal(const char* class_name, const std::function<void(QWidget*)>& answer)
{
    QTimer* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, class_name, answer]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->inherits(class_name))
        {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start(0);
}

// Answers the next save dialog with file_name and notes the file it proposed, with its filters after "|".
inline void Answer_Save_Dialog(const QString& file_name, QString* proposed)
{
    Answer_Next_Modal("QFileDialog", [=](QWidget* modal) {
        QFileDialog* dialog = qobject_cast<QFileDialog*>(modal);
        *proposed = dialog->selectedFiles().value(0) + "|" + dialog->nameFilters().join(";");
        dialog->selectFile(file_name);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// Types value into the next input dialog and presses Return, or cancels when value is empty; notes the
// value the dialog offered.
inline void Answer_Input_Dialog(const QString& value, QString* shown = nullptr)
{
    Answer_Next_Modal("TInputDialog", [=](QWidget* modal) {
        QLineEdit* edit = Child<QLineEdit>(modal, "Value_Edit");
        if (shown != nullptr)
        {
            *shown = edit->text();
        }
        edit->selectAll();
        QTest::keyClicks(edit, value);
        value.isEmpty() ? Child<QPushButton>(modal, "Cancel_Button")->click()
                        : QTest::keyClick(edit, Qt::Key_Return);
    });
}

} // namespace Test_Support

Q_DECLARE_METATYPE(Test_Support::TThermometer)
Q_DECLARE_METATYPE(TThermometerCorrection)

#endif // VELMORATESTSUPPORT_H
