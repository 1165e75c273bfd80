#include "thermometerdata.h"

#include <QByteArray>
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

QByteArray Read(const QString& file_name)
{
    QFile file(file_name);
    if (!file.open(QIODevice::ReadOnly))
    {
        Fail("cannot read", file_name);
    }
    return file.readAll();
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
    static const QString second_name = directory.filePath("second.xml");

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

    // Saved again, the list must give the same bytes: every entry kept its description, date and
    // points as the file holds them (5 decimals), in its place.
    if (!second.Save_Calibration_File(second_name))
    {
        Fail("second save refused", second.Get_Last_Error());
    }
    if (Read(first_name) != Read(second_name))
    {
        Fail("second save differs", descriptions.join(QLatin1Char('|')));
    }
    return 0;
}
