#ifndef THERMOMETERDATA_H
#define THERMOMETERDATA_H

#include "correctiondialogdata.h"
#include "dombuilder.h"
#include "thermometercorrection.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class TXmlFile;

// One thermometer; its description is the key by which it is found.
struct TThermometerData
{
    QString description;
    TThermometerCorrection correction;
    QDate calibration_due_date;
};

// Where the calibration history stood when the calibration file was last saved with a change: how many
// records (lines) it held and the SHA-256 of the last of them. A history that holds fewer, or another
// record in that place, has lost records since. Kept in the calibration file, so that deleting, emptying
// or cutting the history cannot also take its anchor away.
struct THistoryAnchor
{
    int records = 0;
    // Lowercase hexadecimal, 64 digits.
    QByteArray last_record_hash;

    // A file saved without a history behind it, or by a version that kept none, has no anchor.
    bool Is_Set() const { return records > 0; }
    bool operator==(const THistoryAnchor& other) const
    {
        return records == other.records && last_record_hash == other.last_record_hash;
    }
    bool operator!=(const THistoryAnchor& other) const { return !(*this == other); }
};

// The test point that a stored text "reference,deviation" holds, read exactly as a load reads the
// file's: false for a text that is not two fields; a field that is no finite number reads as 0.
bool Read_Stored_Point(const QString& text, TVector2* point);

// An entry of the calibration file that a load left out of the list, and why.
struct TRejectedEntry
{
    enum TReason
    {
        Checksum_Mismatch,
        // Unreadable (which ends the load), or with an empty description, which no lookup reaches.
        Broken_Entry,
        // Matches an earlier entry, letter case ignored: no lookup could ever reach it.
        Duplicate,
        // Its end was not read before the damage that stopped the load.
        Incomplete
    };

    int entry_number;    // counted from 1 in file order
    QString description; // empty when it could not be read
    TReason reason;
};

// All known thermometers in file order. Descriptions are matched without regard to letter case, the
// first match wins, and an empty description never matches.
class TThermometerList
{
public:
    QStringList Get_Descriptions() const;

    // A default correction when the thermometer is not in the list.
    TThermometerCorrection Get_Correction(const QString& description) const;
    // Fills the six temperatures (readings, not deviations); 15, 20, 25 and false when not found.
    bool Get_Correction_Data(const QString& description, TCorrectionDialogData* temperature_data) const;
    // Replaces the test points of the thermometer, or appends it, without a due date, when new.
    void Set_Correction_Data(const QString& description, const TCorrectionDialogData& data);

    // Today when the thermometer is not in the list; a null date when it has none yet.
    QDate Get_Calibration_Due_Date(const QString& description) const;
    void Set_Calibration_Due_Date(const QString& description, const QDate& date);
    // True only while today lies before the due date.
    bool Is_Calibration_Valid(const QString& description) const;

    void Remove_Thermometer_Data(const QString& description);
    // Gives the thermometer found by description the description new_description, in its place in the
    // list (a change of letter case only, too). False when it is not there, or new_description is
    // empty or finds another thermometer.
    bool Rename_Thermometer(const QString& description, const QString& new_description);

    // The description as the list keeps it (found with letter case ignored); empty when not found.
    QString Get_Stored_Description(const QString& description) const;
    // The thermometer as the calibration file holds it: its stored description, due date and test
    // points as the file's texts. Two windows compare these to tell whether a thermometer was changed
    // meanwhile; values that differ only beyond what the file keeps are the same. A null string when
    // the list has no such thermometer.
    QString Get_Stored_Record(const QString& description) const;
    // The texts of the thermometer's three test points as the file stores them ("reference,deviation"
    // at five decimals); empty when the list has no such thermometer.
    QStringList Get_Stored_Points(const QString& description) const;
    // The checksum the file stores with the thermometer's entry; empty when not found.
    QString Get_Stored_Checksum(const QString& description) const;
    // Whether other holds the thermometer exactly as this list does: the same description, due date and
    // test points, bit for bit. False when either lacks it.
    bool Has_Same_Entry(const TThermometerList& other, const QString& description) const;
    // What descriptions are matched by: equal keys are the same thermometer.
    static QString Lookup_Key(const QString& description);
    // Whether two descriptions name the same thermometer: equal but for letter case. An empty
    // description names none.
    static bool Is_Same_Description(const QString& first, const QString& second);

    int Get_Checksum_Error_Count() const { return checksum_error_count; }
    // Every entry that the last load left out, in file order; an unreadable entry ends the load.
    const QVector<TRejectedEntry>& Get_Rejected_Entries() const { return rejected_entries; }
    const QString& Get_Last_Error() const { return last_error; }

    // False, with last_error set, when the file cannot be read or an entry is broken; the entries
    // before a broken one stay loaded. A damaged file (cut short, a character XML forbids, ...) loads
    // the entries read completely before the damage, and last_error adds how many and where reading
    // stopped. A file of another version is identified but not read: true, and the list stays as it
    // was.
    bool Load_Calibration_File(const QString& file_name);
    // False, with last_error set, when the file could not be written or would not read back as
    // saved; it is then left as it was. A set anchor is saved with the entries; without one the file
    // holds the entries alone.
    bool Save_Calibration_File(const QString& file_name, const THistoryAnchor& anchor = THistoryAnchor());
    // The anchor of the calibration history that the file holds as last loaded or saved; not set when
    // it holds none (or none that reads as one).
    const THistoryAnchor& Get_History_Anchor() const { return history_anchor; }
    // Four lowercase hexadecimal digits.
    QString Calculate_Checksum(const TThermometerData& record) const;
    // The File_Version of the last file that a load opened and identified; 0 before any did.
    int Get_File_Version() const { return file_version; }

private:
    // Index of the first matching record, or -1.
    int Find_Entry(const QString& description) const;
    // Every change of entries goes through these two, so that the index always describes them.
    // Appends the entry unless its description is empty or a lookup would find an earlier one by it;
    // false then.
    bool Add_Entry(const TThermometerData& entry);
    void Rebuild_Index();
    // What a load took from a document while the parser read it (see Entry_Reader).
    struct TEntryProgress;
    // Has an opening document hand each entry to the list as soon as it is read and drop it: the list
    // is replaced entry by entry, and the document never holds more than one.
    TElementRead Entry_Reader(const TXmlFile* xml_file, TEntryProgress* progress);
    // Empties the list before the entries of a load.
    void Clear_Entries();
    // Takes one complete entry, numbered from 1 in file order, leaving it out when its checksum does not
    // match; throws TXmlFileException for a broken entry.
    void Load_Entry(const TXmlFile& xml_file, const QDomElement& entry, int entry_number);
    // Replaces the list with the entries of an opened document (those the entry reader took, then what
    // the document still holds), leaving out those whose checksum does not match. Throws
    // TXmlFileException.
    void Load_Calibration_Entries(TXmlFile* xml_file, TEntryProgress* progress);
    // The part of a damaged file read before the damage, which xml_file's failed open kept.
    void Load_Entries_Before_Damage(TXmlFile* xml_file, int version, TEntryProgress* progress);
    // Throws unless data, about to replace the file, reads back as exactly the records saved (as the
    // next load rebuilds them from their texts), naming the first entry that does not.
    void Check_Read_Back(const QByteArray& data, const QVector<TThermometerData>& saved,
                         const THistoryAnchor& anchor) const;

    QVector<TThermometerData> entries;
    // Case-folded description to the index of the first entry with it.
    QHash<QString, int> first_entry_by_key;
    int checksum_error_count = 0;
    QVector<TRejectedEntry> rejected_entries;
    QString last_error;
    int file_version = 0;
    THistoryAnchor history_anchor;
};

#endif // THERMOMETERDATA_H
