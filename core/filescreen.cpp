#include "filescreen.h"

#include <QFileInfo>

bool Screen_File(const QString& file_name, qint64 max_size, QString* reason)
{
    Q_ASSERT_X(reason != nullptr, "Screen_File", "reason");
    const QFileInfo info(file_name);
    if (!info.exists())
    {
        return true;
    }
    if (!info.isFile())
    {
        *reason = QStringLiteral("it is not a regular file");
        return false;
    }
    if (info.size() > max_size)
    {
        constexpr qint64 megabyte = 1024 * 1024;
        *reason = max_size % megabyte == 0
                      ? QStringLiteral("it is larger than %1 MB").arg(max_size / megabyte)
                      : QStringLiteral("it is larger than %1 bytes").arg(max_size);
        return false;
    }
    return true;
}
