#include "durablefile.h"

#include "platform.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace
{

QIODevice::OpenMode Text_Mode(TLineEnds line_ends)
{
    return line_ends == TLineEnds::Native ? QIODevice::Text : QIODevice::NotOpen;
}

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

bool Open_For_Writing(QFileDevice* file, QIODevice::OpenMode mode, QString* reason, bool* opened)
{
    const bool is_open = file->open(mode);
    if (opened != nullptr)
    {
        *opened = is_open;
    }
    if (!is_open)
    {
        *reason = file->errorString();
    }
    return is_open;
}

// Writes all of bytes and flushes them. A write cut short by a size limit or a full disk returns what it
// wrote without an error: the rest is written again, and that write fails with the system's reason.
bool Write_All(QFileDevice* file, const QByteArray& bytes, QString* reason)
{
    errno = 0;
    qint64 written = 0;
    while (written < bytes.size())
    {
        const qint64 count = file->write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0)
        {
            *reason = Failure_Reason(*file, errno);
            return false;
        }
        written += count;
    }
    if (!file->flush())
    {
        *reason = Failure_Reason(*file, errno);
        return false;
    }
    return true;
}

// Writes content into what file_name names as it is (a pipe, a device): there is nothing to replace, cut
// back or sync, and what it took before a failure cannot be taken back.
bool Write_Into(const QString& file_name, const QByteArray& content, QString* reason,
                QIODevice::OpenMode mode, bool* opened)
{
    QFile file(file_name);
    if (!Open_For_Writing(&file, mode, reason, opened) || !Write_All(&file, content, reason))
    {
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

// Renamed over, cut back or synced, a named pipe or a device would be gone or refuse: its reader would
// never get the content. The information follows symbolic links, and so does opening.
bool Is_Pipe_Or_Device(const QFileInfo& existing)
{
    return existing.exists() && !existing.isFile() && !existing.isDir();
}

} // namespace

bool Write_Whole_File(const QString& file_name, const QByteArray& content, QString* reason,
                      TLineEnds line_ends, bool* opened)
{
    Q_ASSERT_X(reason != nullptr, "Write_Whole_File", "reason");
    if (Is_Pipe_Or_Device(QFileInfo(file_name)))
    {
        return Write_Into(file_name, content, reason, QIODevice::WriteOnly | Text_Mode(line_ends), opened);
    }
    // A symbolic link stays one: the file it leads to is replaced.
    QString target = file_name;
    for (int depth = 0; depth < 40 && QFileInfo(target).isSymLink(); ++depth)
    {
        target = QFileInfo(target).symLinkTarget();
    }
    QSaveFile file(target);
    if (!Open_For_Writing(&file, QIODevice::WriteOnly | Text_Mode(line_ends), reason, opened))
    {
        return false;
    }
    // QSaveFile on its own commits a short write or a failed final flush as if all had been written.
    if (!Write_All(&file, content, reason))
    {
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

bool Append_Whole_Lines(const QString& file_name, const QByteArray& lines, QString* reason, qint64 keep,
                        TLineEnds line_ends, bool* opened)
{
    Q_ASSERT_X(reason != nullptr, "Append_Whole_Lines", "reason");
    const QFileInfo existing(file_name);
    if (Is_Pipe_Or_Device(existing))
    {
        return Write_Into(file_name, lines, reason, QIODevice::Append | Text_Mode(line_ends), opened);
    }
    const bool existed = existing.exists();
    // Unbuffered, so that a short write shows at once. Appending to the end leaves the system to find
    // it, so that another writer's lines are not overwritten; ReadWrite keeps what a plain WriteOnly would
    // truncate.
    QFile file(file_name);
    const QIODevice::OpenMode mode =
        (keep < 0 ? QIODevice::Append : QIODevice::ReadWrite) | QIODevice::Unbuffered | Text_Mode(line_ends);
    if (!Open_For_Writing(&file, mode, reason, opened))
    {
        return false;
    }
    const qint64 start = keep < 0 ? file.size() : keep;
    bool written = false;
    if (file.size() > start && !file.resize(start))
    {
        *reason = file.errorString();
    }
    else if (!file.seek(start))
    {
        *reason = file.errorString();
    }
    else
    {
        // The lines count only once the disk holds them: what is saved after them relies on them.
        written = Write_All(&file, lines, reason) && Sync_To_Disk(&file, reason);
    }
    if (!written)
    {
        // Part of a line would be glued to the next one: the file goes back to the bytes kept.
        if (file.size() > start)
        {
            file.resize(start);
        }
        file.close();
        // What a symbolic link to no file led to is removed, not the link.
        if (!existed)
        {
            QFile::remove(QFileInfo(file_name).canonicalFilePath());
        }
    }
    return written;
}
