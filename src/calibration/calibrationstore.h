#ifndef CALIBRATIONSTORE_H
#define CALIBRATIONSTORE_H

#include "calibrationlock.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class QLockFile;
struct THistoryContent;
class TThermometerList;

// One change to the calibration data (see TCalibrationStore::Change_Thermometers). It is handed a copy
// of the list as it is on disk; it applies itself and returns true with its log line, or returns false
// with the line that says why it no longer applies to the list as it is now.
using TThermometerChange = std::function<bool(TThermometerList* list, QString* message)>;

// What TCalibrationStore::Change_Thermometers did.
struct TThermometerChangeResult
{
    QStringList messages;
    // The list was reloaded first: another writer had changed the file.
    bool reloaded = false;
    // The change was applied to the list, and the file holds it.
    bool saved = false;
};

// Where the settings and the calibration data file live, and the policies for loading and replacing
// that file. The window asks it and logs the lines it returns.
class TCalibrationStore
{
public:
    // Chooses the data directory: the user's own application data directory for an installed program;
    // otherwise ".velmora" beside the executable when it can be written, else the user's directory.
    explicit TCalibrationStore(const QString& application_directory_path);
    // A store on the data directory a caller names (a command line's choice), used as it is: nothing
    // is created or copied and no lines are logged about it.
    static TCalibrationStore In_Data_Directory(const QString& data_directory_path);
    // A store that reads the calibration file file_name instead, in the directory that holds it.
    static TCalibrationStore For_Calibration_File(const QString& file_name);

    const QString& Get_Data_Directory() const { return data_directory_path; }
    // The lines to log about that choice: INF naming the user's directory of an installed program, WAR
    // when the directory beside the executable could not be used, ERR when the user's directory cannot
    // be written; none for ".velmora" beside the executable.
    const QStringList& Get_Data_Directory_Messages() const { return data_directory_messages; }
    QString Get_Settings_File_Name() const;
    QString Get_Calibration_File_Name() const;
    QString Get_History_File_Name() const;

    // Loads the calibration data file into list and returns the start-up log lines.
    QStringList Load_Thermometers(TThermometerList* list);
    // Saves list to the calibration data file and returns the log lines; none when all went well.
    QStringList Save_Thermometers(TThermometerList* list);
    // Applies one change (add, update or remove a thermometer) to the calibration data as it is on
    // disk, so that two windows or two stations sharing the file never undo each other: writers take a
    // lock file beside the data file; list is reloaded first when the file changed since this store
    // last read or wrote it; then change is applied to a copy of list, which is saved, and list becomes
    // that copy only once the file holds it. A change that refuses, or a failed save, leaves list and
    // file as they were; its log line is then left out (a refusal's line says why), and only the ERR
    // line of the save is returned. When the lock cannot be taken within the lock timeout, or the lock
    // file is not a lock at all (a directory, a file that holds no lock), an ERR line says what is in
    // the way, and neither list nor file changes.
    TThermometerChangeResult Change_Thermometers(TThermometerList* list, const TThermometerChange& change);
    // A few seconds unless a test needs less.
    void Set_Lock_Timeout(int milliseconds) { lock_timeout = milliseconds; }
    // What runs between tries while another writer holds the lock (see TLockWait); without one the
    // thread sleeps. A wait that is cancelled saves nothing.
    void Set_Lock_Wait(const TLockWait& wait) { lock_wait = wait; }
    // Reloads list when the file changed since this store last read or wrote it (another window or
    // station saved it): an INF line saying so and what went wrong on loading. No lines, and *reloaded
    // false, when it did not change.
    QStringList Reload_Changed_Thermometers(TThermometerList* list, bool* reloaded);
    // Checks the calibration history at start-up, under the lock, against list as just loaded: WAR
    // lines for a chain that does not hold and for every entry changed outside Velmora, which is
    // recorded; the first sighting of each entry of a file that had no history is recorded too. A
    // change that never reached the file is marked as not saved.
    QStringList Check_Calibration_History(const TThermometerList& list);
    // The same check without the lock and without recording anything: what Check_Calibration_History
    // would report, for a reader that never writes.
    QStringList Verify_Calibration_History(const TThermometerList& list);
    // The history as it is on disk now, for showing; false with *error when it cannot be read.
    bool Read_Calibration_History(THistoryContent* content, QString* error) const;

private:
    TCalibrationStore() = default;
    // Makes path, the user's application data directory, the data directory.
    void Use_User_Directory(const QString& path);
    bool Keep_Damaged_Calibration_File(QStringList* messages) const;
    // Saves list; false when the file does not hold it.
    bool Write_Thermometers(TThermometerList* list, QStringList* messages);
    // Takes lock within the lock timeout, waiting with the lock wait; otherwise false, *reason says what
    // is in the way (or that the wait was cancelled) and *advice, when not empty, what to do about it.
    bool Take_Lock(QLockFile* lock, QString* reason, QString* advice) const;
    // Loads list; at start-up with a line per thermometer, on a reload only what went wrong.
    QStringList Read_Thermometers(TThermometerList* list, bool start_up);
    // The file's bytes; a null array when there is no file.
    QByteArray Calibration_File_Content() const;
    // Compares list with the history: the chain's WAR lines and what differs, recorded when record is
    // true (the caller holds the lock).
    QStringList Compare_With_History(const TThermometerList& list, bool record);
    // When the file was last written; invalid when there is none.
    QDateTime Calibration_File_Modified() const;
    // Whether content is the file as this store last read or wrote it. The bytes themselves are kept:
    // comparing them costs far less than hashing them, and no two files compare equal.
    bool Is_Known_Content(const QByteArray& content) const;

    QString data_directory_path;
    // Empty: the data directory's calibration file.
    QString calibration_file_name;
    QStringList data_directory_messages;
    // A calibration file that did not load completely still holds thermometers the list lacks;
    // it is kept under a new name before the first save replaces it.
    bool keep_calibration_file = false;
    // The list shows every entry of the file (or there is no file): a thermometer missing from it was
    // removed from the file.
    bool list_complete = true;
    // The file as this store last read or wrote it (at first: no file); not known when it changed
    // while it was read.
    QByteArray known_content;
    bool content_known = true;
    int lock_timeout = 5000;
    TLockWait lock_wait;
};

#endif // CALIBRATIONSTORE_H
