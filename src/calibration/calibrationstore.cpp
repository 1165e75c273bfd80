#include "calibrationstore.h"

#include "calibrationfindings.h"
#include "calibrationhistory.h"
#include "calibrationlock.h"
#include "clock.h"
#include "datetext.h"
#include "durablefile.h"
#include "filescreen.h"
#include "platform.h"
#include "thermometerdata.h"
#include "xmlscreen.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>

namespace
{

const char* const Data_Directory_Name = ".velmora";
const char* const Settings_File_Name = "/velmora_settings.ini";
const char* const Calibration_File_Base_Name = "calibration_data";

// A directory can hold the settings and the calibration data only if a file can really be
// created in it; the permission bits alone do not tell (read-only mounts, ACLs).
bool Is_Directory_Writable(const QString& path)
{
    if (!QFileInfo(path).isDir())
    {
        return false;
    }
    QTemporaryFile probe(path + "/.write_probe_XXXXXX");
    return probe.open();
}

// Creates the directory at path when it is missing. Returns the system's reason why no file can be
// created in it, or empty when one can.
QString Prepare_Directory(const QString& path)
{
    QDir().mkpath(path);
    // When the directory could not be made, its nearest existing ancestor tells why.
    QString probe_directory = path;
    while (!QFileInfo::exists(probe_directory) &&
           QFileInfo(probe_directory).absolutePath() != probe_directory)
    {
        probe_directory = QFileInfo(probe_directory).absolutePath();
    }
    QTemporaryFile probe(probe_directory + "/.write_probe_XXXXXX");
    if (!probe.open())
    {
        return probe.errorString();
    }
    return probe_directory == path ? QString() : QString("cannot be created");
}

// An installed program finds its desktop entry in the install layout around it, whatever the prefix.
bool Is_Installed(const QString& application_directory_path)
{
    return QFileInfo::exists(application_directory_path + "/" + VELMORA_DESKTOP_ENTRY_FROM_BINDIR);
}

// Whether a live writer holds the lock that lock_name names, judged without taking it (by a reader that
// cannot): the process it names runs. A lock file of another host, or one its writer has not filled
// yet, counts as held; a directory in its place is a lock no Velmora can take. A link is followed.
bool Is_Lock_Held(const QString& lock_name)
{
    if (!QFileInfo(lock_name).isFile())
    {
        return false;
    }
    const QLockFile lock(lock_name);
    qint64 process_id = 0;
    QString host_name;
    QString application_name;
    if (!lock.getLockInfo(&process_id, &host_name, &application_name) ||
        (!host_name.isEmpty() && host_name != QSysInfo::machineHostName()))
    {
        return true;
    }
    return Is_Process_Running(process_id);
}

// Whether list, just loaded (loaded: the load's result) from a file that existed or not, shows every
// entry of it.
bool Shows_Whole_File(const TThermometerList& list, bool loaded, bool file_existed)
{
    return !file_existed || (loaded && list.Get_Rejected_Entries().isEmpty() && list.Get_File_Version() == 1);
}

// What settling the history under a writer's lock says: the changes it records, but neither the chain
// nor damaged records (the checks name those), nor a history begun by the first sightings it records.
TMessages Settling_Messages(const QString& history_name, const THistoryContent& history,
                            const THistoryComparison& comparison)
{
    THistoryContent as_read = history;
    as_read.first_break = 0;
    as_read.incomplete_last_line = false;
    THistoryComparison found = comparison;
    found.damaged_records = 0;
    found.records.erase(std::remove_if(found.records.begin(), found.records.end(),
                                       [](const THistoryRecord& record) {
                                           return record.action == THistoryRecord::First_Seen;
                                       }),
                        found.records.end());
    return History_Comparison_Messages(history_name, as_read, found, true);
}

} // namespace

TCalibrationStore::TCalibrationStore(const QString& application_directory_path)
{
    const QString user_path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // A bin directory is no place for data, not even a writable one: each user keeps their own.
    if (Is_Installed(application_directory_path))
    {
        Use_User_Directory(user_path);
        if (data_directory_messages.isEmpty())
        {
            data_directory_messages << TMessage::Info(
                QString("Data directory: '%1'").arg(QDir::toNativeSeparators(data_directory_path)));
        }
        return;
    }

    QDir directory(application_directory_path);
    if (!directory.exists(Data_Directory_Name))
    {
        directory.mkdir(Data_Directory_Name);
    }
    directory.cd(Data_Directory_Name);
    data_directory_path = directory.absolutePath();

    const QString preferred_path = application_directory_path + "/" + Data_Directory_Name;
    if (data_directory_path == QDir(preferred_path).absolutePath() &&
        Is_Directory_Writable(data_directory_path))
    {
        return;
    }

    // Copied where an ordinary user may not write: settings and calibration edits would be lost
    // without a word, so keep them in the user's own application data directory instead.
    Use_User_Directory(user_path);
    TMessage warning = TMessage::Warning(QString("Cannot write data directory '%1', using '%2' instead.")
                                             .arg(QDir::toNativeSeparators(QDir::cleanPath(preferred_path)),
                                                  QDir::toNativeSeparators(data_directory_path)));

    // Starting empty, the operator would see no thermometers and the next edit would start a second
    // file that diverges from the one beside the executable: take over what is not here yet.
    // The history goes with the file it belongs to, and only with it.
    QStringList copied;
    const QString calibration_name = QString(Calibration_File_Base_Name) + ".xml";
    const QString history_name = QFileInfo(History_File_Name(calibration_name)).fileName();
    for (const QString& name : {calibration_name, history_name, QString(Settings_File_Name).mid(1)})
    {
        const QString source = preferred_path + "/" + name;
        const QString target = data_directory_path + "/" + name;
        if (QFileInfo(source).isFile() && !QFileInfo::exists(target) &&
            (name != history_name || copied.contains(calibration_name)) && QFile::copy(source, target))
        {
            QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
            copied << name;
        }
    }
    if (!copied.isEmpty())
    {
        const QString last = copied.takeLast();
        warning.text +=
            QString(" Copied %1 from it.").arg(copied.isEmpty() ? last : copied.join(", ") + " and " + last);
    }
    data_directory_messages.prepend(warning);
}

TCalibrationStore TCalibrationStore::For_Command_Line(const QString& application_directory_path)
{
    // The constructor's choice, asked of the file system rather than tried: the window makes ".velmora"
    // where it can, and falls back to the user's directory where it cannot write.
    const QString preferred_path =
        QDir(application_directory_path + "/" + Data_Directory_Name).absolutePath();
    const QFileInfo preferred(preferred_path);
    const bool beside_program = !Is_Installed(application_directory_path) &&
                                (preferred.exists() ? preferred.isDir() && preferred.isWritable()
                                                    : QFileInfo(application_directory_path).isWritable());
    TCalibrationStore store = In_Data_Directory(
        beside_program ? preferred_path : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    store.reader = TReader::Command_Line;
    return store;
}

TCalibrationStore TCalibrationStore::In_Data_Directory(const QString& data_directory_path)
{
    TCalibrationStore store;
    store.data_directory_path = QDir(data_directory_path).absolutePath();
    return store;
}

TCalibrationStore TCalibrationStore::For_Calibration_File(const QString& file_name)
{
    TCalibrationStore store = In_Data_Directory(QFileInfo(file_name).absolutePath());
    store.calibration_file_name = QFileInfo(file_name).absoluteFilePath();
    return store;
}

void TCalibrationStore::Use_User_Directory(const QString& path)
{
    data_directory_path = QDir(path).absolutePath();
    // Nothing is saved then, but the program still starts: the readings can be corrected and logged.
    const QString reason = Prepare_Directory(data_directory_path);
    if (!reason.isEmpty())
    {
        data_directory_messages << TMessage::Error(
            QString("Cannot write data directory '%1': %2; settings and thermometers will not be saved.")
                .arg(QDir::toNativeSeparators(data_directory_path), reason));
    }
}

QString TCalibrationStore::Get_Settings_File_Name() const
{
    return data_directory_path + Settings_File_Name;
}

QString TCalibrationStore::Get_Calibration_File_Name() const
{
    if (!calibration_file_name.isEmpty())
    {
        return calibration_file_name;
    }
    return data_directory_path + "/" + Calibration_File_Base_Name + ".xml";
}

QString TCalibrationStore::Get_History_File_Name() const
{
    return History_File_Name(Get_Calibration_File_Name());
}

TMessages TCalibrationStore::Load_Thermometers(TThermometerList* list)
{
    Q_ASSERT_X(list != nullptr, "TCalibrationStore::Load_Thermometers", "list");
    return Read_Thermometers(list, true);
}

QByteArray TCalibrationStore::Calibration_File_Content() const
{
    // A device would be read without end, a huge file into memory, only to be refused by the load: what
    // stands for its content is why it is refused, which no calibration file begins with.
    const QString file_name = Get_Calibration_File_Name();
    QString refusal;
    if (!Screen_File(file_name, Xml_Max_Document_Size, &refusal))
    {
        return QByteArray("\0", 1) + refusal.toUtf8() + " " + QByteArray::number(QFileInfo(file_name).size());
    }
    QFile file(file_name);
    if (!file.open(QIODevice::ReadOnly))
    {
        return QByteArray();
    }
    // Its MD5, read block by block: the file is not held a second time beside the list. The digest
    // only tells one writer's save from another's, which nobody forges, and costs a fraction of a
    // SHA-256 (which made an edit cost a third more). An empty file has one too, so it is not a
    // missing one; a file that cannot be read to its end stands as why.
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError)
    {
        return QByteArray("\1", 1) + file.errorString().toUtf8();
    }
    return hash.result();
}

bool TCalibrationStore::Is_Known_Content(const QByteArray& content) const
{
    return content_known && content.isNull() == known_content.isNull() && content == known_content;
}

TMessages TCalibrationStore::Read_Thermometers(TThermometerList* list, bool start_up)
{
    TMessages messages;
    const QString file_name = Get_Calibration_File_Name();
    const bool file_existed = QFileInfo::exists(file_name);
    known_content = Calibration_File_Content();
    content_known = true;
    // What the history said of the list before is no knowledge of the list loaded now.
    calibration_records.clear();
    const bool loaded = list->Load_Calibration_File(file_name);
    // Written by another writer while it was read: the next change reloads.
    content_known = Is_Known_Content(Calibration_File_Content());
    if (loaded)
    {
        if (start_up)
        {
            messages << TMessage::Info(
                QString("Calibration file loaded: '%1'").arg(QDir::toNativeSeparators(file_name)));
        }
    }
    else
    {
        TMessage message = TMessage::Error(
            QString("Cannot load calibration file: '%1'").arg(QDir::toNativeSeparators(file_name)));
        if (file_existed)
        {
            message.text += ": " + list->Get_Last_Error();
        }
        else
        {
            message.text +=
                reader == TReader::Window
                    ? ": no calibration file exists yet. To add the first thermometer, open Edit > "
                      "Correction Editor (Ctrl+E), type its description, due date and test points and "
                      "press Accept."
                    : ": no calibration file exists yet. Thermometers are added in the window "
                      "(velmora); --data-dir DIR reads another data directory.";
        }
        messages << message;
    }

    for (const QString& description : start_up ? list->Get_Descriptions() : QStringList())
    {
        messages << TMessage::Info(
            QString("Loaded correction data for '%1'.  Calibration Due: %2")
                .arg(description, Due_Date_Text(list->Get_Calibration_Due_Date(description))));
    }
    if (start_up)
    {
        messages << TMessage::Info(
            QString("Calibration data checksum error count: %1").arg(list->Get_Checksum_Error_Count()));
    }

    // Left out without a word, a thermometer seems to have vanished.
    const char* const reasons[] = {"checksum mismatch", "broken entry", "duplicate description",
                                   "cut off by the damage"};
    for (const TRejectedEntry& rejected : list->Get_Rejected_Entries())
    {
        const QString entry =
            rejected.description.isEmpty()
                ? QString::number(rejected.entry_number)
                : QString("%1 '%2'").arg(QString::number(rejected.entry_number), rejected.description);
        messages << TMessage::Warning(
            QString("Calibration entry %1 was left out: %2.").arg(entry, reasons[rejected.reason]));
    }

    // A directory in the file's place holds no thermometers to keep.
    keep_calibration_file =
        QFileInfo(file_name).isFile() &&
        (!loaded || !list->Get_Rejected_Entries().isEmpty() || list->Get_File_Version() != 1);
    list_complete = Shows_Whole_File(*list, loaded, file_existed);
    if (keep_calibration_file)
    {
        messages << TMessage::Warning(
            QString("Calibration file '%1' will be kept under a new name at the first save.")
                .arg(QDir::toNativeSeparators(file_name)));
    }
    return messages;
}

bool TCalibrationStore::Keep_Damaged_Calibration_File(TMessages* messages) const
{
    const QString file_name = Get_Calibration_File_Name();
    if (!QFileInfo::exists(file_name))
    {
        return true;
    }
    for (int number = 1;; ++number)
    {
        // One arg call: a second would also fill a "%1" or "%2" that the directory path holds.
        const QString kept_name =
            QString("%1/%2_kept_%3.xml")
                .arg(data_directory_path, Calibration_File_Base_Name, QString::number(number));
        if (QFileInfo::exists(kept_name))
        {
            continue;
        }
        QFile file(file_name);
        QString reason;
        QString refusal;
        bool kept = false;
        if (!Screen_File(file_name, Xml_Max_Document_Size, &refusal))
        {
            // Too large to be read at all: it is kept as it is, under the new name, unread.
            kept = file.rename(kept_name);
        }
        else if (file.open(QIODevice::ReadOnly))
        {
            // A kept copy cut short by a full disk would lose the very thermometers it is kept for.
            const QByteArray content = file.readAll();
            kept = file.error() == QFileDevice::NoError && Write_Whole_File(kept_name, content, &reason);
        }
        if (!kept && reason.isEmpty())
        {
            reason = file.errorString();
        }
        if (!kept)
        {
            *messages << TMessage::Error(
                QString("Cannot keep calibration file '%1' as '%2'; the thermometers were not "
                        "saved.  Reason: %3")
                    .arg(QDir::toNativeSeparators(file_name), QDir::toNativeSeparators(kept_name), reason));
            return false;
        }
        *messages << TMessage::Warning(
            QString("Calibration file '%1' did not load completely; kept it as '%2'.")
                .arg(QDir::toNativeSeparators(file_name), QDir::toNativeSeparators(kept_name)));
        return true;
    }
}

bool TCalibrationStore::Write_Thermometers(TThermometerList* list, TMessages* messages,
                                           const THistoryAnchor& anchor)
{
    // The first save would replace a file that still holds thermometers the list never loaded.
    if (keep_calibration_file)
    {
        if (!Keep_Damaged_Calibration_File(messages))
        {
            return false;
        }
        keep_calibration_file = false;
    }
    const bool saved = list->Save_Calibration_File(Get_Calibration_File_Name(), anchor);
    if (!saved)
    {
        // The XML layer's own "ERR:" would follow the line's level a second time.
        *messages << TMessage::Error(QString(list->Get_Last_Error()).replace("': ERR:  ", "': "));
    }
    known_content = Calibration_File_Content();
    content_known = true;
    return saved;
}

bool TCalibrationStore::Take_Lock(QLockFile* lock, TLockProblem* problem) const
{
    return ::Take_Lock(lock, Get_Calibration_File_Name() + ".lock", lock_timeout, lock_wait, problem);
}

TMessages TCalibrationStore::Remove_Interrupted_Saves() const
{
    // A save writes "<file name>.XXXXXX" beside the file and renames it into place; killed before the
    // rename, it leaves that file. Only that pattern: never the lock file or a kept copy.
    const QFileInfo calibration_file(Get_Calibration_File_Name());
    const QString prefix = calibration_file.fileName() + ".";
    static const QRegularExpression temporary_suffix("^[A-Za-z0-9]{6}$");
    TMessages messages;
    const QFileInfoList entries =
        QDir(calibration_file.absolutePath())
            .entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QFileInfo& entry : entries)
    {
        const QString name = entry.fileName();
        if (!name.startsWith(prefix) || !temporary_suffix.match(name.mid(prefix.size())).hasMatch())
        {
            continue;
        }
        QFile leftover(entry.absoluteFilePath());
        const QString native_name = QDir::toNativeSeparators(entry.absoluteFilePath());
        if (leftover.remove())
        {
            messages << TMessage::Info(
                QString("Removed '%1', left by a save of the calibration file that was interrupted.")
                    .arg(native_name));
        }
        else
        {
            messages << TMessage::Warning(
                QString("Cannot remove '%1', left by a save of the calibration file that was "
                        "interrupted: %2.")
                    .arg(native_name, leftover.errorString()));
        }
    }
    return messages;
}

TThermometerChangeResult TCalibrationStore::Change_Thermometers(TThermometerList* list,
                                                                const TThermometerChange& change)
{
    Q_ASSERT_X(list != nullptr, "TCalibrationStore::Change_Thermometers", "list");
    const QString file_name = Get_Calibration_File_Name();
    TThermometerChangeResult result;
    QLockFile lock(file_name + ".lock");
    TLockProblem lock_problem;
    if (!Take_Lock(&lock, &lock_problem))
    {
        result.messages << TMessage::Error(
            QString("Cannot lock calibration file '%1': %2; the change was not saved.%3")
                .arg(QDir::toNativeSeparators(file_name), lock_problem.reason,
                     lock_problem.advice.isEmpty() ? QString() : " " + lock_problem.advice));
        return result;
    }
    result.messages << Remove_Interrupted_Saves();

    if (!Is_Known_Content(Calibration_File_Content()))
    {
        result.messages << TMessage::Info(
            QString("Calibration file '%1' was changed by another writer; reloaded it first.")
                .arg(QDir::toNativeSeparators(file_name)));
        result.messages << Read_Thermometers(list, false);
        result.reloaded = true;
        Read_Calibration_Records(*list);
    }
    // The window shows the list: it changes only once the file holds the change, so that a failed
    // save neither shows the change as made nor lets the next save write it after all.
    TThermometerList changed = *list;
    TMessage change_message;
    if (!change(&changed, &change_message))
    {
        result.messages << change_message;
        return result;
    }

    // The records go first, and reach the disk before the file is saved: a change that then fails to
    // save, or is cut off, is found and settled by the next writer or check, whereas a saved change
    // without its record could not be told from an edit by hand.
    const QString history_name = Get_History_File_Name();
    THistoryContent history;
    QString history_error;
    TMessages history_messages;
    // The whole file is compared with its history at start-up; here, besides the changes another writer
    // left unsettled, only the thermometers the change is about, so that its record starts from what
    // the file held, also after an edit by hand. A change that changes nothing as stored has no record.
    const QVector<THistoryRecord> changes = History_Differences(*list, changed);
    QStringList changed_descriptions;
    for (const THistoryRecord& record : changes)
    {
        changed_descriptions << record.description;
    }
    bool recorded = Read_History_File(history_name, &history, &history_error, THistoryCheck::Head_Only,
                                      changed_descriptions, list->Get_History_Anchor().records);
    if (recorded)
    {
        const THistoryComparison comparison =
            Compare_History(history, *list, list_complete, &changed_descriptions);
        // A change reports what it records; the chain and damaged records are the checks' to name, and a
        // history begun by a change needs no line of its own.
        history_messages = Settling_Messages(history_name, history, comparison);
        recorded = Append_History(history_name, comparison.records + changes, &history, &history_error);
    }
    if (!recorded)
    {
        result.messages << TMessage::Error(QString("%1; the change was not saved.").arg(history_error));
        return result;
    }
    result.messages << history_messages;
    const QVector<THistoryRecord> change_records =
        history.records.mid(history.records.size() - changes.size());

    // The file names the record it was saved after, so that a history that loses it shows.
    THistoryAnchor anchor;
    anchor.records = history.line_count;
    anchor.last_record_hash = history.head_hash;
    TMessages save_messages;
    if (Write_Thermometers(&changed, &save_messages, anchor))
    {
        *list = changed;
        result.saved = true;
        // The change's own records put the calibrations it changed in the history.
        for (const THistoryRecord& record : change_records)
        {
            if (record.has_after)
            {
                calibration_records.insert(TThermometerList::Lookup_Key(record.after.description),
                                           Calibration_Record_Of(record));
            }
            else
            {
                calibration_records.remove(TThermometerList::Lookup_Key(record.before.description));
            }
        }
        result.messages << change_message;
        if (!Append_History(history_name, Mark_Records(change_records, THistoryRecord::Saved), &history,
                            &history_error))
        {
            result.messages << TMessage::Warning(
                QString("%1; the change was saved, and the next change or start marks it "
                        "as saved.")
                    .arg(history_error));
        }
    }
    else
    {
        // Should this fail too, the next writer or check finds the file as it was before these records.
        Append_History(history_name, Mark_Records(change_records, THistoryRecord::Not_Saved), &history,
                       &history_error);
    }
    result.messages << save_messages;
    return result;
}

THistoryCheckResult TCalibrationStore::Check_Calibration_History(const TThermometerList& list)
{
    return Check_History(list, true);
}

THistoryCheckResult TCalibrationStore::Verify_Calibration_History(const TThermometerList& list)
{
    return Check_History(list, false);
}

bool TCalibrationStore::Load_Current(TThermometerList* list, bool* complete) const
{
    const QString file_name = Get_Calibration_File_Name();
    const bool file_existed = QFileInfo::exists(file_name);
    const QByteArray before = Calibration_File_Content();
    const bool loaded = list->Load_Calibration_File(file_name);
    *complete = Shows_Whole_File(*list, loaded, file_existed);
    const QByteArray after = Calibration_File_Content();
    return before.isNull() == after.isNull() && before == after;
}

bool TCalibrationStore::Read_Without_Lock(QByteArray* history_bytes, TThermometerList* fresh, bool* use_fresh,
                                          bool* complete, QString* error, bool* busy) const
{
    const QString lock_name = Get_Calibration_File_Name() + ".lock";
    const QString history_name = Get_History_File_Name();
    *busy = false;
    QElapsedTimer waited;
    waited.start();
    for (;;)
    {
        // A writer holds the lock from before its first record to after its last, so a history that
        // reads the same before and after the file, with no writer at either end, shows no save in
        // progress.
        if (!Is_Lock_Held(lock_name))
        {
            QByteArray before;
            QByteArray after;
            if (!Read_History_Bytes(history_name, &before, error))
            {
                return false;
            }
            *use_fresh = !Is_Known_Content(Calibration_File_Content());
            const bool file_read = !*use_fresh || Load_Current(fresh, complete);
            if (!Read_History_Bytes(history_name, &after, error))
            {
                return false;
            }
            if (file_read && before.isNull() == after.isNull() && before == after && !Is_Lock_Held(lock_name))
            {
                *history_bytes = before;
                return true;
            }
        }
        if (waited.elapsed() >= lock_timeout)
        {
            *busy = true;
            return false;
        }
        QThread::msleep(20);
    }
}

THistoryCheckResult TCalibrationStore::Check_History(const TThermometerList& list, bool record)
{
    const QString history_name = Get_History_File_Name();
    const QString native_history_name = QDir::toNativeSeparators(history_name);
    const QString not_checked = QString("Calibration history '%1' was not checked: %2.");
    THistoryCheckResult result;
    QLockFile lock(Get_Calibration_File_Name() + ".lock");
    TLockProblem lock_problem;
    const bool locked = Take_Lock(&lock, &lock_problem);
    // Where no lock can be made (a read-only folder, something else in its place), no Velmora saves
    // either: the history is read without one. Only a lock held too long, or a wait cancelled, stops the
    // check.
    if (!locked && lock_problem.kind != TLockProblem::Not_A_Lock &&
        lock_problem.kind != TLockProblem::Cannot_Create)
    {
        result.messages << TMessage::Warning(not_checked.arg(native_history_name, lock_problem.reason));
        result.finding_messages = result.messages;
        return result;
    }

    QByteArray history_bytes;
    TThermometerList fresh;
    bool use_fresh = false;
    bool complete = list_complete;
    QString error;
    bool busy = false;
    bool read = false;
    if (locked)
    {
        read = Read_History_Bytes(history_name, &history_bytes, &error);
        // Saved by another writer since list was loaded: the file as it is now is compared.
        use_fresh = read && !Is_Known_Content(Calibration_File_Content());
        if (use_fresh)
        {
            Load_Current(&fresh, &complete);
        }
    }
    else
    {
        read = Read_Without_Lock(&history_bytes, &fresh, &use_fresh, &complete, &error, &busy);
    }
    if (busy)
    {
        result.messages << TMessage::Warning(
            not_checked.arg(native_history_name, "another Velmora is saving it"));
        result.finding_messages = result.messages;
        return result;
    }
    if (!read)
    {
        result.messages << TMessage::Warning(
            QString("%1; the calibration file was not checked against it.").arg(error));
        result.finding_messages = result.messages;
        return result;
    }
    const TThermometerList& compared = use_fresh ? fresh : list;
    const THistoryContent history = Read_History(history_bytes, THistoryCheck::Whole_Chain, QStringList(),
                                                 compared.Get_History_Anchor().records);
    // The records read hold what the rest needs: the bytes, as large as the file, go before the next step.
    history_bytes = QByteArray();
    THistoryComparison comparison = Compare_History(history, compared, complete);
    result.agrees = History_Agrees(history, comparison);
    result.checked = true;
    bool recorded = false;
    TMessages failure;
    // What the check recorded is part of the history; what it could not record is still to be found.
    THistoryContent after = history;
    if (record && locked)
    {
        // Handed over whole, the records are numbered and hashed where they are rather than in a copy of
        // all of them; as written they say what the messages below say of them.
        recorded = Append_History(history_name, std::move(comparison.records), &after, &error);
        if (recorded)
        {
            comparison.records = after.records.mid(history.records.size());
        }
        else
        {
            failure << TMessage::Error(QString("%1; what the check found was not recorded.").arg(error));
            // None was written: found again as they were.
            comparison = Compare_History(history, compared, complete);
        }
    }
    else if (record && !result.agrees)
    {
        failure << TMessage::Warning(
            QString("Calibration history '%1': what the check found was not recorded: %2.")
                .arg(native_history_name, lock_problem.reason));
    }
    THistoryComparison left = comparison;
    if (recorded)
    {
        // Not clear(), which would first copy every record the two share.
        left.records = QVector<THistoryRecord>();
    }
    result.messages = History_Comparison_Messages(history_name, history, comparison, recorded) + failure;
    result.findings =
        Calibration_Findings(after, left, compared, TClock::Today(), TFindingScope::With_Reviewed);
    result.finding_messages =
        Finding_Messages(history_name, history, comparison, recorded, result.findings) + failure;
    // Last, as the records in force are kept: what the steps before held for a while is free again.
    // after is the history as read where nothing was recorded.
    if (record)
    {
        Know_Calibration_Records(after, compared);
    }
    result.content = after;
    return result;
}

TReviewResult TCalibrationStore::Review_Finding(const TThermometerList& list, const TFinding& finding,
                                                const QString& comment)
{
    TReviewResult result;
    const QString not_reviewed = QString("The finding of %1 was not marked as reviewed: %2.")
                                     .arg(finding.record > 0 ? QString("record %1").arg(finding.record)
                                                             : QString("the calibration history"));
    if (comment.trimmed().isEmpty())
    {
        result.messages << TMessage::Error(not_reviewed.arg("a review needs a comment"));
        return result;
    }
    if (!finding.Is_Reviewable())
    {
        result.messages << TMessage::Error(
            not_reviewed.arg("the calibration history holds no record of it yet"));
        return result;
    }
    const QString history_name = Get_History_File_Name();
    QLockFile lock(Get_Calibration_File_Name() + ".lock");
    TLockProblem lock_problem;
    if (!Take_Lock(&lock, &lock_problem))
    {
        result.messages << TMessage::Error(
            not_reviewed.arg(
                QString("cannot lock calibration file '%1': %2")
                    .arg(QDir::toNativeSeparators(Get_Calibration_File_Name()), lock_problem.reason)) +
            (lock_problem.advice.isEmpty() ? QString() : " " + lock_problem.advice));
        return result;
    }
    QByteArray history_bytes;
    QString error;
    if (!Read_History_Bytes(history_name, &history_bytes, &error))
    {
        result.messages << TMessage::Error(not_reviewed.arg(error));
        return result;
    }
    // Judged against the file as it is now, as every writer settles it first.
    TThermometerList fresh;
    bool complete = list_complete;
    const bool use_fresh = !Is_Known_Content(Calibration_File_Content());
    if (use_fresh)
    {
        Load_Current(&fresh, &complete);
    }
    const TThermometerList& compared = use_fresh ? fresh : list;
    THistoryContent history = Read_History(history_bytes, THistoryCheck::Whole_Chain, QStringList(),
                                           compared.Get_History_Anchor().records);
    THistoryComparison comparison = Compare_History(history, compared, complete);
    if (!comparison.records.isEmpty())
    {
        // A review settles nothing of a change; the messages that say what the settling found do.
        const TMessages settled = Settling_Messages(history_name, history, comparison);
        if (!Append_History(history_name, comparison.records, &history, &error))
        {
            result.messages << TMessage::Error(not_reviewed.arg(error));
            return result;
        }
        result.messages << settled;
        comparison.records.clear();
    }
    const QVector<TFinding> findings =
        Calibration_Findings(history, comparison, compared, TClock::Today(), TFindingScope::With_Reviewed);
    const auto current = std::find_if(findings.begin(), findings.end(), [&](const TFinding& candidate) {
        return Is_Same_Finding(candidate, finding);
    });
    if (current == findings.end() || current->reviewed)
    {
        result.messages << TMessage::Error(not_reviewed.arg(
            current == findings.end()
                ? QString(
                      "it is no longer a finding as shown; the history or the calibration file changed since")
                : QString("it was reviewed meanwhile ") + Review_Text(*current)));
        return result;
    }
    const THistoryRecord review = Review_Record(finding, comment);
    if (!Append_History(history_name, {review}, &history, &error))
    {
        result.messages << TMessage::Error(not_reviewed.arg(error));
        return result;
    }
    result.reviewed = true;
    result.messages << TMessage::Info(
        QString("Finding reviewed as record %1 of the calibration history: %2. Comment: %3")
            .arg(QString::number(history.line_count), Finding_Summary(finding), review.comment));
    return result;
}

bool TCalibrationStore::Read_Consistent_History(THistoryContent* content, QString* error) const
{
    const QString history_name = Get_History_File_Name();
    QLockFile lock(Get_Calibration_File_Name() + ".lock");
    TLockProblem lock_problem;
    const bool locked = Take_Lock(&lock, &lock_problem);
    // As the checks read: without a lock only where none can be made.
    if (!locked && lock_problem.kind != TLockProblem::Not_A_Lock &&
        lock_problem.kind != TLockProblem::Cannot_Create)
    {
        *error = QString("Cannot read calibration history '%1': %2")
                     .arg(QDir::toNativeSeparators(history_name), lock_problem.reason);
        return false;
    }
    QByteArray bytes;
    bool read = false;
    if (locked)
    {
        read = Read_History_Bytes(history_name, &bytes, error);
    }
    else
    {
        TThermometerList fresh;
        bool use_fresh = false;
        bool complete = false;
        bool busy = false;
        read = Read_Without_Lock(&bytes, &fresh, &use_fresh, &complete, error, &busy);
        if (busy)
        {
            *error = QString("Cannot read calibration history '%1': another Velmora is saving it")
                         .arg(QDir::toNativeSeparators(history_name));
        }
    }
    *content = Read_History(read ? bytes : QByteArray());
    return read;
}

TCalibrationRecord TCalibrationStore::Calibration_Record(const TThermometerList& list,
                                                         const QString& description) const
{
    const auto found = calibration_records.constFind(TThermometerList::Lookup_Key(description));
    // Only for the calibration the record gives: never one that list no longer holds.
    if (found == calibration_records.constEnd() || list.Get_Stored_Description(description).isNull() ||
        found->after != History_State_Digest(History_State(list, description)))
    {
        return TCalibrationRecord();
    }
    return *found;
}

void TCalibrationStore::Know_Calibration_Records(const THistoryContent& content, const TThermometerList& list)
{
    calibration_records = Calibration_Records(content, list);
}

void TCalibrationStore::Read_Calibration_Records(const TThermometerList& list)
{
    THistoryContent content;
    QString error;
    if (Read_History_File(Get_History_File_Name(), &content, &error))
    {
        Know_Calibration_Records(content, list);
    }
    else
    {
        calibration_records.clear();
    }
}

TMessages TCalibrationStore::Reload_Changed_Thermometers(TThermometerList* list, bool* reloaded)
{
    Q_ASSERT_X(list != nullptr && reloaded != nullptr, "TCalibrationStore::Reload_Changed_Thermometers",
               "list, reloaded");
    *reloaded = false;
    // Savers replace the file whole, by rename: it can be read while another writer holds the lock.
    if (Is_Known_Content(Calibration_File_Content()))
    {
        return TMessages();
    }
    *reloaded = true;
    TMessages messages;
    messages << TMessage::Info(QString("Calibration file '%1' was changed by another writer; reloaded it.")
                                   .arg(QDir::toNativeSeparators(Get_Calibration_File_Name())));
    messages << Read_Thermometers(list, false);
    Read_Calibration_Records(*list);
    return messages;
}
