#include "wholefile.h"

#include <QFile>
#include <QFileInfo>
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

// Writes content into what file_name names as it is (a pipe, a device): there is no file to replace.
bool Write_Into(const QString& file_name, const QByteArray& content, QString* reason,
                QIODevice::OpenMode text_mode, bool* opened)
{
    QFile file(file_name);
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
    errno = 0;
    if (file.write(content) != content.size() || !file.flush())
    {
        *reason = Failure_Reason(file, errno);
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
    {
        *reason = Failure_Reason(file, errno);
        return false;
    }
    return true;
}

} // namespace

bool Write_Whole_File(const QString& file_name, const QByteArray& content, QString* reason,
                      TLineEnds line_ends, bool* opened)
{
    Q_ASSERT_X(reason != nullptr, "Write_Whole_File", "reason");
    const QIODevice::OpenMode text_mode =
        line_ends == TLineEnds::Native ? QIODevice::Text : QIODevice::NotOpen;
    // Renamed over, a named pipe or a device would be gone: its reader would never get the content. The
    // information follows symbolic links, and so does opening.
    const QFileInfo existing(file_name);
    if (existing.exists() && !existing.isFile() && !existing.isDir())
    {
        return Write_Into(file_name, content, reason, text_mode, opened);
    }
    // A symbolic link stays one: the file it leads to is replaced.
    QString target = file_name;
    for (int depth = 0; depth < 40 && QFileInfo(target).isSymLink(); ++depth)
    {
        target = QFileInfo(target).symLinkTarget();
    }
    QSaveFile file(target);
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
