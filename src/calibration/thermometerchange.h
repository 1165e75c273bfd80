#ifndef THERMOMETERCHANGE_H
#define THERMOMETERCHANGE_H

#include "correctiondialogdata.h"
#include "message.h"

#include <QString>

class TThermometerList;

// The rules by which an operator's action on a thermometer (an edit in the Correction Editor, a
// removal, a report) is carried out on the calibration data as the file holds it when it is carried
// out, which another window or station may have changed since the action was started. An action is
// bound to the thermometer it was started on: it is carried out on that one or not at all.

// The thermometer an action was started on, as the window showed it then.
struct TChosenThermometer
{
    // As the list keeps it; empty when none was chosen.
    QString description;
    // Its entry as stored (TThermometerList::Get_Stored_Record); null when none was chosen.
    QString record;

    bool Is_None() const { return record.isNull(); }
};

// The thermometer of list that description finds; none when it finds none.
TChosenThermometer Choose_Thermometer(const TThermometerList& list, const QString& description);

// What became of a chosen thermometer in list, reloaded since it was chosen.
enum class TChosenState
{
    None,
    Unchanged,
    // Still there, changed by another writer: the action goes on with its current values.
    Changed,
    // Removed by another writer (or renamed): the action is not carried out.
    Gone
};
TChosenState Chosen_State(const TThermometerList& list, const TChosenThermometer& chosen);

enum class TThermometerAction
{
    Edit,
    Removal,
    Corrections_Report,
    Uncertainty_Report
};

// The message to log when the chosen thermometer changed or is gone by the time action is carried out:
// a warning that it goes on with the current values, or the message that says it was not carried out
// (an error; information for a removal, which another writer already did). None when it is unchanged
// or none was chosen.
TMessages Chosen_State_Message(TThermometerAction action, const TChosenThermometer& chosen,
                               TChosenState state);

// Why a change no longer applies to the calibration data as the file holds it now.
enum class TChangeRefusal
{
    None,
    // The thermometer was changed by another writer since the action was started.
    Changed_Meanwhile,
    // It was removed by another writer since.
    Removed_Meanwhile,
    // A thermometer to add has a description another writer gave a thermometer meanwhile.
    Description_Taken
};

// What the Correction Editor accepted: the entry for the thermometer it opened on, or for a new one.
struct TThermometerEdit
{
    // None: the editor opened empty, for a new thermometer.
    TChosenThermometer opened;
    // As accepted; its description without leading and trailing blanks.
    TCorrectionDialogData entry;
};

// The description the edit stores: the entry's, or the opened thermometer's when the entry kept it
// but for the blanks around it that a hand-edited file can hold.
QString Edited_Description(const TThermometerEdit& edit);

// Applies edit to list, the list as the file holds it now. An entry whose description names the
// opened thermometer (letter case ignored) changes that thermometer, renaming it when only the letter
// case differs; any other description adds a thermometer and leaves the opened one as it is. True with
// the information in *message; false, with *refusal and the error that says why, when the opened
// thermometer was changed or removed meanwhile, or another writer added a thermometer of that
// description meanwhile.
bool Apply_Edit(TThermometerList* list, const TThermometerEdit& edit, TMessage* message,
                TChangeRefusal* refusal);

// Removes confirmed, the thermometer the operator agreed to remove as it was when asked, from list as
// the file holds it now. False, with *refusal and the message that says why, when another writer changed
// or removed it meanwhile. With none confirmed, nothing is removed and the list is saved as it is.
bool Apply_Removal(TThermometerList* list, const TChosenThermometer& confirmed, TMessage* message,
                   TChangeRefusal* refusal);

#endif // THERMOMETERCHANGE_H
