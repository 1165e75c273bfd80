#ifndef CALIBRATIONSTORE_H
#define CALIBRATIONSTORE_H

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>

class TThermometerList;

// Where the settings and the calibration data file live, and the policies for loading and replacing
// that file. The window asks it and logs the lines it returns.
class TCalibrationStore
{
public:
    // Chooses the data directory: the user's own application data directory for an installed program;
    // otherwise ".velmora" beside the executable when it can be written, else the user's directory.
    explicit TCalibrationStore(const QString& application_directory_path);

    const QString& Get_Data_Directory() const { return data_directory_path; }
    // The lines to log about that choice: INF naming the user's directory of an installed program, WAR
    // when the directory beside the executable could not be used, ERR when the user's directory cannot
    // be written; none for ".velmora" beside the executable.
    const QStringList& Get_Data_Directory_Messages() const { return data_directory_messages; }
    QString Get_Settings_File_Name() const;
    QString Get_Calibration_File_Name() const;

    // Loads the calibration data file into list and returns the start-up log lines.
    QStringList Load_Thermometers(TThermometerList* list);
    // Saves list to the calibration data file and returns the log lines; none when all went well.
    QStringList Save_Thermometers(TThermometerList* list);
    // Applies one change (add, update or remove a thermometer by description) to the calibration data
    // as it is on disk, so that two windows or two stations sharing the file never undo each other:
    // writers take a lock file beside the data file; list is reloaded first when the file changed since
    // this store last read or wrote it; then change edits list and returns its log line, and list is
    // saved. Returns the log lines. When the lock cannot be taken within the lock timeout, an ERR line
    // and neither list nor file changes.
    QStringList Change_Thermometers(TThermometerList* list,
                                    const std::function<QString(TThermometerList*)>& change);
    // A few seconds unless a test needs less.
    void Set_Lock_Timeout(int milliseconds) { lock_timeout = milliseconds; }

private:
    // Makes path, the user's application data directory, the data directory.
    void Use_User_Directory(const QString& path);
    bool Keep_Damaged_Calibration_File(QStringList* messages) const;
    // Loads list; at start-up with a line per thermometer, on a reload only what went wrong.
    QStringList Read_Thermometers(TThermometerList* list, bool start_up);
    // The file's bytes; a null array when there is no file.
    QByteArray Calibration_File_Content() const;
    // Whether content is the file as this store last read or wrote it. The bytes themselves are kept:
    // comparing them costs far less than hashing them, and no two files compare equal.
    bool Is_Known_Content(const QByteArray& content) const;

    QString data_directory_path;
    QStringList data_directory_messages;
    // A calibration file that did not load completely still holds thermometers the list lacks;
    // it is kept under a new name before the first save replaces it.
    bool keep_calibration_file = false;
    // The file as this store last read or wrote it (at first: no file); not known when it changed
    // while it was read.
    QByteArray known_content;
    bool content_known = true;
    int lock_timeout = 5000;
};

#endif // CALIBRATIONSTORE_H
