#ifndef CALIBRATIONSTORE_H
#define CALIBRATIONSTORE_H

#include "calibrationfindings.h"
#include "calibrationhistory.h"
#include "calibrationlock.h"
#include "message.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

class QLockFile;
struct TLockProblem;
struct THistoryAnchor;
class TThermometerList;

// One change to the calibration data (see TCalibrationStore::Change_Thermometers). It is handed a copy
// of the list as it is on disk; it applies itself and returns true with its message to log, or returns
// false with the message that says why it no longer applies to the list as it is now.
using TThermometerChange = std::function<bool(TThermometerList* list, TMessage* message)>;

// What TCalibrationStore::Change_Thermometers did.
struct TThermometerChangeResult
{
    TMessages messages;
    // The list was reloaded first: another writer had changed the file.
    bool reloaded = false;
    // The change was applied to the list, and the file holds it.
    bool saved = false;
};

// What checking the calibration history against the calibration file found.
struct THistoryCheckResult
{
    // The warnings of everything that disagrees (and information on what was recorded): the messages
    // of the check of a named file.
    TMessages messages;
    // The history was checked and agrees with the file (see History_Agrees).
    bool agrees = false;
    // The history was read and compared, so that findings holds.
    bool checked = false;
    // The messages of a start or of velmora-cli check (Finding_Messages, then what the check could not
    // do): what was found, and the findings that are open; nothing of what was reviewed.
    TMessages finding_messages;
    // Every finding, reviewed ones included, against the file as compared, after what the check
    // recorded.
    QVector<TFinding> findings;
    // The history as read (a whole chain), with what the check recorded.
    THistoryContent content;
};

// What TCalibrationStore::Review_Finding did.
struct TReviewResult
{
    TMessages messages;
    // The history holds the review.
    bool reviewed = false;
};

// Where the settings and the calibration data file live, and the policies for loading and replacing
// that file. The window asks it and logs the messages it returns.
class TCalibrationStore
{
public:
    // Chooses the data directory: the user's own application data directory for an installed program;
    // otherwise ".velmora" beside the executable when it can be written, else the user's directory.
    explicit TCalibrationStore(const QString& application_directory_path);
    // The store of a command line that only reads: the data directory the constructor would choose, found
    // without creating or copying anything, so that it may not exist; its lines name the command
    // line's remedies (see Set_Reader).
    static TCalibrationStore For_Command_Line(const QString& application_directory_path);
    // A store on the data directory a caller names (a command line's choice), used as it is: nothing
    // is created or copied and no lines are logged about it.
    static TCalibrationStore In_Data_Directory(const QString& data_directory_path);
    // A store that reads the calibration file file_name instead, in the directory that holds it.
    static TCalibrationStore For_Calibration_File(const QString& file_name);

    // Who reads the lines: the window, whose remedies are its menus, or the command line.
    enum class TReader
    {
        Window,
        Command_Line
    };
    void Set_Reader(TReader new_reader) { reader = new_reader; }

    const QString& Get_Data_Directory() const { return data_directory_path; }
    // The messages to log about that choice: information naming the user's directory of an installed
    // program, a warning when the directory beside the executable could not be used, an error when the
    // user's directory cannot be written; none for ".velmora" beside the executable.
    const TMessages& Get_Data_Directory_Messages() const { return data_directory_messages; }
    QString Get_Settings_File_Name() const;
    QString Get_Calibration_File_Name() const;
    QString Get_History_File_Name() const;

    // Loads the calibration data file into list and returns the start-up messages.
    TMessages Load_Thermometers(TThermometerList* list);
    // Applies one change (add, update or remove a thermometer) to the calibration data as it is on
    // disk, so that two windows or two stations sharing the file never undo each other: writers take a
    // lock file beside the data file; list is reloaded first when the file changed since this store
    // last read or wrote it; then change is applied to a copy of list, which is saved, and list becomes
    // that copy only once the file holds it. A change that refuses, or a failed save, leaves list and
    // file as they were; its message is then left out (a refusal's message says why), and only the
    // error of the save is returned. When the lock cannot be taken within the lock timeout, or the lock
    // file is not a lock at all (a directory, a file that holds no lock), an error says what is in the
    // way, and neither list nor file changes.
    // Under the lock, the temporary files of saves that were interrupted are removed (information each),
    // the changes another writer left unsettled in the history are settled, the change's records are
    // written and the file is saved with the history's anchor; a Saved mark follows the save.
    TThermometerChangeResult Change_Thermometers(TThermometerList* list, const TThermometerChange& change);
    // A few seconds unless a test needs less.
    void Set_Lock_Timeout(int milliseconds) { lock_timeout = milliseconds; }
    // What runs between tries while another writer holds the lock (see TLockWait); without one the
    // thread sleeps. A wait that is cancelled saves nothing.
    void Set_Lock_Wait(const TLockWait& wait) { lock_wait = wait; }
    // Reloads list when the file changed since this store last read or wrote it (another window or
    // station saved it): information saying so and what went wrong on loading. No messages, and
    // *reloaded false, when it did not change.
    TMessages Reload_Changed_Thermometers(TThermometerList* list, bool* reloaded);
    // Checks the calibration history at start-up against the calibration file (list as just loaded,
    // or the file as it is now when another writer saved it since): warnings for a chain that does not
    // hold, damaged records, a history that lost records, changes that never reached the file and
    // entries changed outside Velmora; what it finds is recorded under the lock, unsettled changes that
    // reached the file and the first sighting of each entry of a file that had no history included.
    // Where no lock can be made (a read-only folder) it still checks, reading as a reader does, and
    // names what it could not record.
    THistoryCheckResult Check_Calibration_History(const TThermometerList& list);
    // The same check for a reader that records nothing (velmora-cli, the history view): under the lock
    // where one can be made, otherwise by reading the history, the file and the history again until they
    // agree with no writer holding the lock, so that a save in progress never shows as a finding.
    THistoryCheckResult Verify_Calibration_History(const TThermometerList& list);
    // Marks finding reviewed by this account and host, now (TClock), with comment: under the lock, the
    // history is first settled against the file as it is now (what a start would record is recorded),
    // then the review is appended only when the finding is still open as given, tied to the same line
    // with the same SHA-256. A comment that is blank, a finding without a line to tie a review to, one
    // reviewed or changed meanwhile, and a lock or a write that fails leave the review unwritten with an
    // error that says why.
    TReviewResult Review_Finding(const TThermometerList& list, const TFinding& finding,
                                 const QString& comment);
    // The history as it is on disk now, for showing; false with *error when it cannot be read.
    bool Read_Calibration_History(THistoryContent* content, QString* error) const;
    // The history as a reader that records nothing must read it, with no save in progress: under the lock
    // where one can be made, otherwise until it reads the same before and after the calibration file with
    // no writer holding the lock (as Verify_Calibration_History reads). False with *error when it cannot
    // be read, or writers kept saving for the whole lock timeout.
    bool Read_Consistent_History(THistoryContent* content, QString* error) const;
    // The record of the calibration history that put the thermometer's calibration, as list holds it, in
    // the history (see Calibration_Records), as this store last read or wrote the history: at the check at
    // start-up, at each change and at each reload. A record numbered 0 when it knows none: the history
    // could not be read or does not give that calibration, or list holds another one than the store
    // last read or wrote.
    TCalibrationRecord Calibration_Record(const TThermometerList& list, const QString& description) const;

private:
    TCalibrationStore() = default;
    // Makes path, the user's application data directory, the data directory.
    void Use_User_Directory(const QString& path);
    bool Keep_Damaged_Calibration_File(TMessages* messages) const;
    // Saves list with the history's anchor; false when the file does not hold it.
    bool Write_Thermometers(TThermometerList* list, TMessages* messages, const THistoryAnchor& anchor);
    // Removes what saves that were interrupted left beside the calibration file; its messages.
    TMessages Remove_Interrupted_Saves() const;
    // Takes lock within the lock timeout, waiting with the lock wait; otherwise false, and *problem says
    // what is in the way (or that the wait was cancelled) and what to do about it.
    bool Take_Lock(QLockFile* lock, TLockProblem* problem) const;
    // Loads list; at start-up with a message per thermometer, on a reload only what went wrong.
    TMessages Read_Thermometers(TThermometerList* list, bool start_up);
    // What stands for the file's content: its MD5 (or why it cannot be read); a null array when
    // there is no file.
    QByteArray Calibration_File_Content() const;
    // Checks the history against the file, and records what it found when record is true and the lock
    // could be taken.
    THistoryCheckResult Check_History(const TThermometerList& list, bool record);
    // Loads the file as it is now into list; false when it changed while it was read. *complete tells
    // whether list shows all of it.
    bool Load_Current(TThermometerList* list, bool* complete) const;
    // Reads the history's bytes and, when the file changed since list was loaded, the file into fresh
    // (*use_fresh), without the lock: until the history reads the same before and after the file and
    // no live writer holds the lock. False with *error when the history cannot be read, or with *busy
    // when writers kept saving for the whole lock timeout.
    bool Read_Without_Lock(QByteArray* history_bytes, TThermometerList* fresh, bool* use_fresh,
                           bool* complete, QString* error, bool* busy) const;
    // Knows the records that put the calibrations of list in the history: from content, a whole history
    // as read (and appended to), or from the history file read whole now.
    void Know_Calibration_Records(const THistoryContent& content, const TThermometerList& list);
    void Read_Calibration_Records(const TThermometerList& list);
    // Whether content (see Calibration_File_Content) is the file as this store last read or wrote it.
    // Only the digest is kept: the bytes would double what a large file costs in memory.
    bool Is_Known_Content(const QByteArray& content) const;

    QString data_directory_path;
    // Empty: the data directory's calibration file.
    QString calibration_file_name;
    TMessages data_directory_messages;
    TReader reader = TReader::Window;
    // A calibration file that did not load completely still holds thermometers the list lacks;
    // it is kept under a new name before the first save replaces it.
    bool keep_calibration_file = false;
    // The list shows every entry of the file (or there is no file): a thermometer missing from it was
    // removed from the file.
    bool list_complete = true;
    // The content (see Calibration_File_Content) of the file as this store last read or wrote it (at
    // first: no file); not known when it changed while it was read.
    QByteArray known_content;
    bool content_known = true;
    // By lookup key, the record that put each thermometer's calibration in the history, as the last read
    // of the history that followed the last load found it, and updated with every change saved since.
    QHash<QString, TCalibrationRecord> calibration_records;
    int lock_timeout = 5000;
    TLockWait lock_wait;
};

#endif // CALIBRATIONSTORE_H
