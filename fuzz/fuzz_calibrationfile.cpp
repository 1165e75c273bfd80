#include "thermometerdata.h"

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void Fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "round trip failed: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

double Stored(double value)
{
    return QString::number(value, 'f', 5).toDouble();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Every save is synced to disk; in memory that costs nothing.
    static QTemporaryDir directory(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/velmora-fuzz-XXXXXX"));
    static const QString input_name = directory.filePath("input.xml");
    static const QString first_name = directory.filePath("first.xml");

    QFile input(input_name);
    if (!input.open(QIODevice::WriteOnly) ||
        input.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size) || !input.flush())
    {
        Fail("cannot write", input_name);
    }
    input.close();

    // A file that does not load completely still yields the entries before the fault.
    TThermometerList first;
    first.Load_Calibration_File(input_name);
    TThermometerList unsaved = first;
    if (!first.Save_Calibration_File(first_name))
    {
        Fail("save refused", first.Get_Last_Error());
    }

    TThermometerList second;
    if (!second.Load_Calibration_File(first_name))
    {
        Fail("saved file does not load", second.Get_Last_Error());
    }
    const QStringList descriptions = first.Get_Descriptions();
    if (second.Get_Descriptions() != descriptions)
    {
        Fail("descriptions differ", descriptions.join(QLatin1Char('|')));
    }
    for (const QString& description : descriptions)
    {
        if (second.Get_Calibration_Due_Date(description) != first.Get_Calibration_Due_Date(description))
        {
            Fail("due date differs", description);
        }
    }

    // Points are kept to the 5 decimals the file holds; -0.00000 and 0.00000 are the same value.
    for (const QString& description : descriptions)
    {
        const TThermometerCorrection before = first.Get_Correction(description);
        const TThermometerCorrection after = second.Get_Correction(description);
        for (const auto point : {&TThermometerCorrection::Get_Point1, &TThermometerCorrection::Get_Point2,
                                 &TThermometerCorrection::Get_Point3})
        {
            if (Stored((before.*point)().x) != Stored((after.*point)().x) ||
                Stored((before.*point)().y) != Stored((after.*point)().y))
            {
                Fail("point differs", description);
            }
        }
    }

    // A save depends on the list alone, never on what it saved before: a later save must write the
    // file that the first save of the same list writes.
    if (!first.Get_Descriptions().isEmpty())
    {
        const QString changed = first.Get_Descriptions().constLast();
        for (TThermometerList* list : {&first, &unsaved})
        {
            list->Set_Calibration_Due_Date(changed, QDate(2031, 7, 15));
        }
        static const QString later_name = directory.filePath("later.xml");
        static const QString once_name = directory.filePath("once.xml");
        if (!first.Save_Calibration_File(later_name) || !unsaved.Save_Calibration_File(once_name))
        {
            Fail("later save refused", first.Get_Last_Error() + unsaved.Get_Last_Error());
        }
        QFile later(later_name);
        QFile once(once_name);
        if (!later.open(QIODevice::ReadOnly) || !once.open(QIODevice::ReadOnly) ||
            later.readAll() != once.readAll())
        {
            Fail("a later save differs from a first one", changed);
        }
    }
    return 0;
}
