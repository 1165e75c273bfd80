#include "wholefile.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace
{

// Qt 5.15 reports a short write or a failed flush as "Unknown error"; errno still holds the cause.
QString Failure_Reason(const QFileDevice& file, int error_number)
{
    const QString reason = file.errorString();
    if (error_number != 0 && (reason.isEmpty() || reason == QLatin1String("Unknown error")))
    {
        return QString::fromLocal8Bit(std::strerror(error_number));
    }
    return reason;
}

} // namespace

bool Write_Whole_File(const QString& file_name, const QByteArray& content, QString* reason,
                      TLineEnds line_ends, bool* opened)
{
    Q_ASSERT_X(reason != nullptr, "Write_Whole_File", "reason");
    QSaveFile file(file_name);
    const QIODevice::OpenMode text_mode =
        line_ends == TLineEnds::Native ? QIODevice::Text : QIODevice::NotOpen;
    const bool is_open = file.open(QIODevice::WriteOnly | text_mode);
    if (opened != nullptr)
    {
        *opened = is_open;
    }
    if (!is_open)
    {
        *reason = file.errorString();
        return false;
    }
    // QSaveFile on its own commits a short write or a failed final flush as if all had been written.
    errno = 0;
    if (file.write(content) != content.size() || !file.flush())
    {
        *reason = Failure_Reason(file, errno);
        file.cancelWriting();
        return false;
    }
    errno = 0;
    if (!file.commit())
    {
        *reason = Failure_Reason(file, errno);
        return false;
    }
    return true;
}
