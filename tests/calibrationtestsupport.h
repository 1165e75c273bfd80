#ifndef CALIBRATIONTESTSUPPORT_H
#define CALIBRATIONTESTSUPPORT_H

// Shared by the tests of the calibration library and the window tests: the data directory, files
// and calibration files written as the program writes them. Nothing here needs a widget, so that the
// calibration tests link none.

#include "thermometerdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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

} // namespace Test_Support

Q_DECLARE_METATYPE(Test_Support::TThermometer)
Q_DECLARE_METATYPE(TThermometerCorrection)

#endif // CALIBRATIONTESTSUPPORT_H
