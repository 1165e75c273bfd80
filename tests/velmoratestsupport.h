#ifndef VELMORATESTSUPPORT_H
#define VELMORATESTSUPPORT_H

// Shared by the main window tests: widget lookup and answering modal dialogs, beside what the
// calibration tests share.

#include "calibrationtestsupport.h"
#include "qtcompat.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <functional>

namespace Test_Support
{

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

// As the operator picks a thermometer: the selector changes, then reports the choice.
inline void Select(QWidget* window, int index)
{
    QComboBox* selector = Child<QComboBox>(window, "Thermometer_Selector");
    selector->setCurrentIndex(index);
    QMetaObject::invokeMethod(selector, "activated", Q_ARG(int, index));
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

// A setting as the file on disk holds it now. Read from a copy: QSettings keeps what it last read of a
// file and may take a file that changed within the same millisecond and kept its size for unchanged.
inline QVariant Stored_Setting(const QString& key,
                               const QString& file_name = Data_Directory() + "/velmora_settings.ini")
{
    static int copies = 0;
    const QString copy = QDir::temp().filePath(
        QString("velmora-settings-%1-%2.ini").arg(QCoreApplication::applicationPid()).arg(++copies));
    QFile::remove(copy);
    if (!QFile::copy(file_name, copy))
    {
        return QVariant();
    }
    QVariant value;
    {
        QSettings settings(copy, QSettings::IniFormat);
        Use_Utf8_Ini_Encoding(&settings);
        value = settings.value(key);
    }
    QFile::remove(copy);
    return value;
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

#endif // VELMORATESTSUPPORT_H
