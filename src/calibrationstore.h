#ifndef CALIBRATIONSTORE_H
#define CALIBRATIONSTORE_H

#include <QDate>
#include <QString>
#include <QStringList>

class TThermometerList;

// The date as the log and the reports show it.
QString Due_Date_Text(const QDate& date);

// Where the settings and the calibration data file live, and the policies for loading and replacing
// that file. The window asks it and logs the lines it returns.
class TCalibrationStore
{
public:
    // Chooses the data directory: ".velmora" beside the executable when it can be written, otherwise
    // the user's own application data directory.
    explicit TCalibrationStore(const QString& application_directory_path);

    const QString& Get_Data_Directory() const { return data_directory_path; }
    // The WAR line saying that the directory beside the executable could not be used, or empty.
    const QString& Get_Data_Directory_Warning() const { return data_directory_warning; }
    QString Get_Settings_File_Name() const;
    QString Get_Calibration_File_Name() const;

    // Loads the calibration data file into list and returns the start-up log lines.
    QStringList Load_Thermometers(TThermometerList* list);
    // Saves list to the calibration data file and returns the log lines; none when all went well.
    QStringList Save_Thermometers(TThermometerList* list);

private:
    bool Keep_Damaged_Calibration_File(QStringList* messages) const;

    QString data_directory_path;
    QString data_directory_warning;
    // A calibration file that did not load completely still holds thermometers the list lacks;
    // it is kept under a new name before the first save replaces it.
    bool keep_calibration_file = false;
};

#endif // CALIBRATIONSTORE_H
