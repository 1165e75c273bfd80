#include "calibrationstore.h"

#include "calibrationhistory.h"
#include "calibrationlock.h"
#include "datetext.h"
#include "filescreen.h"
#include "thermometerdata.h"
#include "wholefile.h"
#include "xmlscreen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>

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

} // namespace

TCalibrationStore::TCalibrationStore(const QString& application_directory_path)
{
    const QString user_path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // An installed program finds its desktop entry in the install layout around it, whatever the
    // prefix. A bin directory is no place for data, not even a writable one: each user keeps their own.
    if (QFileInfo::exists(application_directory_path + "/" + VELMORA_DESKTOP_ENTRY_FROM_BINDIR))
    {
        Use_User_Directory(user_path);
        if (data_directory_messages.isEmpty())
        {
            data_directory_messages
                << QString("INF  Data directory: '%1'").arg(QDir::toNativeSeparators(data_directory_path));
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
    QString warning = QString("WAR  Cannot write data directory '%1', using '%2' instead.")
                          .arg(QDir::toNativeSeparators(QDir::cleanPath(preferred_path)),
                               QDir::toNativeSeparators(data_directory_path));

    // Starting empty, the operator would see no thermometers and the next edit would start a second
    // file that diverges from the one beside the executable: take over what is not here yet.
    QStringList copied;
    for (const QString& name :
         {QString(Calibration_File_Base_Name) + ".xml", QString(Settings_File_Name).mid(1)})
    {
        const QString source = preferred_path + "/" + name;
        const QString target = data_directory_path + "/" + name;
        if (QFileInfo(source).isFile() && !QFileInfo::exists(target) && QFile::copy(source, target))
        {
            QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
            copied << name;
        }
    }
    if (!copied.isEmpty())
    {
        warning += QString(" Copied %1 from it.").arg(copied.join(" and "));
    }
    data_directory_messages.prepend(warning);
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
        data_directory_messages
            << QString(
                   "ERR  Cannot write data directory '%1': %2; settings and thermometers will not be saved.")
                   .arg(QDir::toNativeSeparators(data_directory_path), reason);
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

QStringList TCalibrationStore::Load_Thermometers(TThermometerList* list)
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
    QByteArray content = file.readAll();
    if (content.isNull())
    {
        content = QByteArray("", 0); // an empty file is not a missing one
    }
    return content;
}

QDateTime TCalibrationStore::Calibration_File_Modified() const
{
    const QFileInfo info(Get_Calibration_File_Name());
    return info.exists() ? info.lastModified() : QDateTime();
}

bool TCalibrationStore::Is_Known_Content(const QByteArray& content) const
{
    return content_known && content.isNull() == known_content.isNull() && content == known_content;
}

QStringList TCalibrationStore::Read_Thermometers(TThermometerList* list, bool start_up)
{
    QStringList messages;
    const QString file_name = Get_Calibration_File_Name();
    const bool file_existed = QFileInfo::exists(file_name);
    known_content = Calibration_File_Content();
    content_known = true;
    const bool loaded = list->Load_Calibration_File(file_name);
    // Written by another writer while it was read: the next change reloads.
    content_known = Is_Known_Content(Calibration_File_Content());
    if (loaded)
    {
        if (start_up)
        {
            messages
                << QString("INF  Calibration file loaded: '%1'").arg(QDir::toNativeSeparators(file_name));
        }
    }
    else
    {
        QString message =
            QString("ERR  Cannot load calibration file: '%1'").arg(QDir::toNativeSeparators(file_name));
        if (file_existed)
        {
            message += ": " + list->Get_Last_Error();
        }
        else
        {
            message += ": no calibration file exists yet. To add the first thermometer, open Edit > "
                       "Correction Editor (Ctrl+E), type its description, due date and test points and "
                       "press Accept.";
        }
        messages << message;
    }

    for (const QString& description : start_up ? list->Get_Descriptions() : QStringList())
    {
        messages << QString("INF  Loaded correction data for '%1'.  Calibration Due: %2")
                        .arg(description, Due_Date_Text(list->Get_Calibration_Due_Date(description)));
    }
    if (start_up)
    {
        messages << QString("INF  Calibration data checksum error count: %1")
                        .arg(list->Get_Checksum_Error_Count());
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
        messages
            << QString("WAR  Calibration entry %1 was left out: %2.").arg(entry, reasons[rejected.reason]);
    }

    // A directory in the file's place holds no thermometers to keep.
    keep_calibration_file =
        QFileInfo(file_name).isFile() &&
        (!loaded || !list->Get_Rejected_Entries().isEmpty() || list->Get_File_Version() != 1);
    list_complete = !file_existed || (loaded && !keep_calibration_file);
    if (keep_calibration_file)
    {
        messages << QString("WAR  Calibration file '%1' will be kept under a new name at the first save.")
                        .arg(QDir::toNativeSeparators(file_name));
    }
    return messages;
}

bool TCalibrationStore::Keep_Damaged_Calibration_File(QStringList* messages) const
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
            *messages << QString("ERR  Cannot keep calibration file '%1' as '%2'; the thermometers were not "
                                 "saved.  Reason: %3")
                             .arg(QDir::toNativeSeparators(file_name), QDir::toNativeSeparators(kept_name),
                                  reason);
            return false;
        }
        *messages << QString("WAR  Calibration file '%1' did not load completely; kept it as '%2'.")
                         .arg(QDir::toNativeSeparators(file_name), QDir::toNativeSeparators(kept_name));
        return true;
    }
}

QStringList TCalibrationStore::Save_Thermometers(TThermometerList* list)
{
    Q_ASSERT_X(list != nullptr, "TCalibrationStore::Save_Thermometers", "list");
    QStringList messages;
    Write_Thermometers(list, &messages);
    return messages;
}

bool TCalibrationStore::Write_Thermometers(TThermometerList* list, QStringList* messages)
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
    const bool saved = list->Save_Calibration_File(Get_Calibration_File_Name());
    if (!saved)
    {
        // The XML layer's own "ERR:" would follow the line's level a second time.
        *messages << "ERR  " + QString(list->Get_Last_Error()).replace("': ERR:  ", "': ");
    }
    known_content = Calibration_File_Content();
    content_known = true;
    return saved;
}

bool TCalibrationStore::Take_Lock(QLockFile* lock, QString* reason, QString* advice) const
{
    TLockProblem problem;
    if (::Take_Lock(lock, Get_Calibration_File_Name() + ".lock", lock_timeout, lock_wait, &problem))
    {
        return true;
    }
    *reason = problem.reason;
    *advice = problem.advice;
    return false;
}

TThermometerChangeResult TCalibrationStore::Change_Thermometers(TThermometerList* list,
                                                                const TThermometerChange& change)
{
    Q_ASSERT_X(list != nullptr, "TCalibrationStore::Change_Thermometers", "list");
    const QString file_name = Get_Calibration_File_Name();
    TThermometerChangeResult result;
    QLockFile lock(file_name + ".lock");
    QString lock_problem;
    QString advice;
    if (!Take_Lock(&lock, &lock_problem, &advice))
    {
        result.messages << QString("ERR  Cannot lock calibration file '%1': %2; the change was not saved.%3")
                               .arg(QDir::toNativeSeparators(file_name), lock_problem,
                                    advice.isEmpty() ? QString() : " " + advice);
        return result;
    }

    if (!Is_Known_Content(Calibration_File_Content()))
    {
        result.messages << QString(
                               "INF  Calibration file '%1' was changed by another writer; reloaded it first.")
                               .arg(QDir::toNativeSeparators(file_name));
        result.messages << Read_Thermometers(list, false);
        result.reloaded = true;
    }
    // The window shows the list: it changes only once the file holds the change, so that a failed
    // save neither shows the change as made nor lets the next save write it after all.
    TThermometerList changed = *list;
    QVector<THistoryRecord> change_records;
    QString change_message;
    if (!change(&changed, &change_message))
    {
        result.messages << change_message;
        return result;
    }

    // The records go first, and reach the disk before the file is saved: a change that then fails to
    // save, or is cut off, is found and marked at the next check, whereas a saved change without its
    // record could not be told from an edit by hand.
    const QString history_name = Get_History_File_Name();
    THistoryContent history;
    QString history_error;
    QStringList history_messages;
    // The whole file is compared with its history at start-up; here only the thermometers the change is
    // about, so that its record starts from what the file held, also after an edit by hand. A change that
    // changes nothing as stored has no record.
    const QVector<THistoryRecord> changes = History_Differences(*list, changed);
    QStringList changed_descriptions;
    for (const THistoryRecord& record : changes)
    {
        changed_descriptions << record.description;
    }
    bool recorded = changes.isEmpty() || Read_History_File(history_name, &history, &history_error,
                                                           THistoryCheck::Head_Only, changed_descriptions);
    if (!changes.isEmpty() && recorded)
    {
        QVector<THistoryRecord> records = Reconcile_History(
            history, *list, list_complete, Calibration_File_Modified(), changed_descriptions);
        // The window checks the history at start-up; a history begun by a change needs no line of its own.
        history_messages = Reconciliation_Messages(records, true).filter(QRegularExpression("^(?!INF  )"));
        records += changes;
        recorded = Append_History(history_name, records, &history, &history_error);
        change_records = history.records.mid(history.records.size() - changes.size());
    }
    if (!recorded)
    {
        result.messages << QString("ERR  %1; the change was not saved.").arg(history_error);
        return result;
    }
    result.messages << history_messages;

    QStringList save_messages;
    if (Write_Thermometers(&changed, &save_messages))
    {
        *list = changed;
        result.saved = true;
        result.messages << change_message;
    }
    else
    {
        // Should this fail too, the next check finds the file as it was before these records.
        Append_History(history_name, Not_Saved_Records(change_records), &history, &history_error);
    }
    result.messages << save_messages;
    return result;
}

QStringList TCalibrationStore::Check_Calibration_History(const TThermometerList& list)
{
    const QString history_name = Get_History_File_Name();
    QLockFile lock(Get_Calibration_File_Name() + ".lock");
    QString lock_problem;
    QString advice;
    if (!Take_Lock(&lock, &lock_problem, &advice))
    {
        return {QString("WAR  Calibration history '%1' was not checked: %2.")
                    .arg(QDir::toNativeSeparators(history_name), lock_problem)};
    }
    return Compare_With_History(list, true);
}

QStringList TCalibrationStore::Verify_Calibration_History(const TThermometerList& list)
{
    return Compare_With_History(list, false);
}

QStringList TCalibrationStore::Compare_With_History(const TThermometerList& list, bool record)
{
    const QString history_name = Get_History_File_Name();
    THistoryContent history;
    QString error;
    if (!Read_History_File(history_name, &history, &error))
    {
        return {QString("WAR  %1; the calibration file was not checked against it.").arg(error)};
    }
    QStringList messages = History_Chain_Warnings(history_name, history);
    // Saved by another writer since the load: that writer brought the history up to date under the
    // lock, and list no longer shows the file.
    if (!Is_Known_Content(Calibration_File_Content()))
    {
        return messages;
    }
    const QVector<THistoryRecord> records =
        Reconcile_History(history, list, list_complete, Calibration_File_Modified());
    const bool recorded = record && Append_History(history_name, records, &history, &error);
    messages << Reconciliation_Messages(records, recorded);
    if (record && !recorded)
    {
        messages << QString("ERR  %1; what the check found was not recorded.").arg(error);
    }
    return messages;
}

bool TCalibrationStore::Read_Calibration_History(THistoryContent* content, QString* error) const
{
    return Read_History_File(Get_History_File_Name(), content, error);
}

QStringList TCalibrationStore::Reload_Changed_Thermometers(TThermometerList* list, bool* reloaded)
{
    Q_ASSERT_X(list != nullptr && reloaded != nullptr, "TCalibrationStore::Reload_Changed_Thermometers",
               "list, reloaded");
    *reloaded = false;
    // Savers replace the file whole, by rename: it can be read while another writer holds the lock.
    if (Is_Known_Content(Calibration_File_Content()))
    {
        return QStringList();
    }
    *reloaded = true;
    QStringList messages;
    messages << QString("INF  Calibration file '%1' was changed by another writer; reloaded it.")
                    .arg(QDir::toNativeSeparators(Get_Calibration_File_Name()));
    messages << Read_Thermometers(list, false);
    return messages;
}
