#ifndef CALIBRATIONTESTSUPPORT_H
#define CALIBRATIONTESTSUPPORT_H

// Shared by the tests of the calibration library and the window tests: the data directory, files
// and calibration files written as the program writes them. Nothing here needs a widget, so that the
// calibration tests link none.

#include "calibrationhistory.h"
#include "calibrationstore.h"
#include "clock.h"
#include "thermometerdata.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <csignal>
#include <cstring>
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

// The log line of a function that gives one message or none, as the window would log it; empty for none.
inline QString Log_Line_Of(const TMessages& messages)
{
    return Log_Lines(messages).join('\n');
}

// The time the history tests record changes at.
inline QDateTime Test_Now()
{
    return QDateTime(QDate(2026, 12, 7), QTime(10, 30), Qt::OffsetFromUTC, 3600);
}

// A change that gives description the deviation at all three test points, and a due date.
inline TThermometerChange Set_Thermometer(const QString& description, double deviation,
                                          const QDate& due_date = QDate(2027, 6, 1))
{
    return [=](TThermometerList* list, TMessage* message) {
        list->Set_Correction_Data(
            description,
            TCorrectionDialogData{15, 20, 25, 15 + deviation, 20 + deviation, 25 + deviation, {}, {}});
        list->Set_Calibration_Due_Date(description, due_date);
        *message = TMessage::Info("set " + description);
        return true;
    };
}

// A data directory of its own for each test function and data row, with the calibration file and the
// history in it, at the tests' time: the fixture of the tests that read and write the history.
struct THistoryDirectory
{
    QTemporaryDir base;
    QString data_directory;
    QString calibration_file;
    QString history_file;

    bool Prepare()
    {
        data_directory = base.filePath(QTest::currentTestFunction() + QString("-") +
                                       (QTest::currentDataTag() ? QTest::currentDataTag() : ""));
        QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir(data_directory).removeRecursively();
        calibration_file = data_directory + "/calibration_data.xml";
        history_file = data_directory + "/calibration_history.jsonl";
        TClock::Set_Fixed_Now(Test_Now());
        return QDir().mkpath(data_directory);
    }
    // Leaves the directory removable, whatever a test made of its permissions.
    void Clean_Up() const
    {
        TClock::Set_Fixed_Now(QDateTime());
        QFile::setPermissions(data_directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    static QByteArray Sha256(const QByteArray& line)
    {
        return QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex();
    }
    THistoryContent History() const
    {
        THistoryContent content;
        QString error;
        return Read_History_File(history_file, &content, &error) ? content : THistoryContent();
    }
    QList<QByteArray> Lines() const
    {
        QList<QByteArray> lines = Read_File(history_file).split('\n');
        lines.removeLast();
        return lines;
    }
    bool Write_Lines(const QList<QByteArray>& lines) const
    {
        QByteArray bytes;
        for (const QByteArray& line : lines)
        {
            bytes += line + '\n';
        }
        return Write_File(history_file, bytes);
    }
};

// A second window as another process, for what a kill, a full disk or a second writer leaves: the test's
// own executable started as "<executable> --writer ...", which Writer_Main runs instead of the tests.
//   --writer change DIRECTORY DESCRIPTION DEVIATION LIMIT
//       one change at the tests' time; files may grow to LIMIT bytes (0: no limit), and a write beyond
//       kills the process (SIGXFSZ), as a crash in the middle of a save would. Exit status 0 when saved.
//   --writer loop DIRECTORY DESCRIPTION STOP_FILE
//       changes the thermometer again and again, a moment apart, until STOP_FILE exists; prints how many
//       changes it saved.
inline int Writer_Main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(2);
    if (arguments.size() != 5 && arguments.size() != 4)
    {
        return 64;
    }
    TCalibrationStore store = TCalibrationStore::In_Data_Directory(arguments[1]);
    TThermometerList list;
    store.Load_Thermometers(&list);
    QTextStream out(stdout);
    if (arguments[0] == "change" && arguments.size() == 5)
    {
        TClock::Set_Fixed_Now(Test_Now());
        const rlim_t limit = arguments[4].toULongLong();
        if (limit > 0)
        {
            // Killed, it leaves no core file behind.
            struct rlimit no_core = {0, 0};
            setrlimit(RLIMIT_CORE, &no_core);
            struct rlimit limited;
            getrlimit(RLIMIT_FSIZE, &limited);
            limited.rlim_cur = limit;
            setrlimit(RLIMIT_FSIZE, &limited);
        }
        const TThermometerChangeResult result =
            store.Change_Thermometers(&list, Set_Thermometer(arguments[2], arguments[3].toDouble()));
        out << Log_Lines(result.messages).join('\n') << '\n';
        return result.saved ? 0 : 1;
    }
    if (arguments[0] == "loop")
    {
        int saved = 0;
        for (int change = 0; !QFileInfo::exists(arguments[3]); ++change)
        {
            const TThermometerChangeResult result =
                store.Change_Thermometers(&list, Set_Thermometer(arguments[2], 0.01 + 0.001 * (change % 50)));
            if (!result.saved)
            {
                out << Log_Lines(result.messages).join('\n') << '\n';
                return 1;
            }
            ++saved;
            // As windows do, with a moment between changes for others to take the lock.
            QThread::msleep(25);
        }
        out << saved << '\n';
        return 0;
    }
    return 64;
}

} // namespace Test_Support

// Runs Writer_Main when the executable is started as a writer, else the tests of TestObject.
#define VELMORA_TEST_MAIN_WITH_WRITER(TestObject)                                                            \
    int main(int argc, char* argv[])                                                                         \
    {                                                                                                        \
        if (argc > 1 && std::strcmp(argv[1], "--writer") == 0)                                               \
        {                                                                                                    \
            return Test_Support::Writer_Main(argc, argv);                                                    \
        }                                                                                                    \
        QCoreApplication application(argc, argv);                                                            \
        TestObject test_object;                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test_object, argc, argv);                                                       \
    }

Q_DECLARE_METATYPE(Test_Support::TThermometer)
Q_DECLARE_METATYPE(TThermometerCorrection)

#endif // CALIBRATIONTESTSUPPORT_H
