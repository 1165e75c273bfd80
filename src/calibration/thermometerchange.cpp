#include "thermometerchange.h"

#include "datetext.h"
#include "thermometerdata.h"

namespace
{

// What the action is, as the line that says it was not carried out names it.
QString Not_Carried_Out(TThermometerAction action)
{
    switch (action)
    {
    case TThermometerAction::Edit:
        return QStringLiteral("the Correction Editor was not opened. Choose the thermometer to edit");
    case TThermometerAction::Removal:
        return QString();
    case TThermometerAction::Corrections_Report:
        return QStringLiteral(
            "the corrections evaluation was not written. Choose the thermometer to report on");
    case TThermometerAction::Uncertainty_Report:
        return QStringLiteral(
            "the uncertainty evaluation was not written. Choose the thermometer to report on");
    }
    return QString();
}

// How the action goes on with the current values.
QString Carried_Out_On_Current_Values(TThermometerAction action)
{
    switch (action)
    {
    case TThermometerAction::Edit:
        return QStringLiteral("the Correction Editor opens on its current values");
    case TThermometerAction::Removal:
        return QStringLiteral("check its current values before removing it");
    case TThermometerAction::Corrections_Report:
        return QStringLiteral("the corrections evaluation is written from its current values");
    case TThermometerAction::Uncertainty_Report:
        return QStringLiteral("the uncertainty evaluation is written from its current values");
    }
    return QString();
}

bool Refuse(TChangeRefusal reason, const TMessage& why, TMessage* message, TChangeRefusal* refusal)
{
    *refusal = reason;
    *message = why;
    return false;
}

} // namespace

TChosenThermometer Choose_Thermometer(const TThermometerList& list, const QString& description)
{
    TChosenThermometer chosen;
    chosen.record = list.Get_Stored_Record(description);
    if (!chosen.record.isNull())
    {
        chosen.description = list.Get_Stored_Description(description);
    }
    return chosen;
}

TChosenState Chosen_State(const TThermometerList& list, const TChosenThermometer& chosen)
{
    if (chosen.Is_None())
    {
        return TChosenState::None;
    }
    const QString record = list.Get_Stored_Record(chosen.description);
    if (record.isNull())
    {
        return TChosenState::Gone;
    }
    return record == chosen.record ? TChosenState::Unchanged : TChosenState::Changed;
}

TMessages Chosen_State_Message(TThermometerAction action, const TChosenThermometer& chosen,
                               TChosenState state)
{
    if (state == TChosenState::Changed)
    {
        return {TMessage::Warning(QString("Thermometer '%1' was changed by another window; %2.")
                                      .arg(chosen.description, Carried_Out_On_Current_Values(action)))};
    }
    if (state != TChosenState::Gone)
    {
        return TMessages();
    }
    if (action == TThermometerAction::Removal)
    {
        return {TMessage::Info(
            QString("Thermometer '%1' was already removed by another window.").arg(chosen.description))};
    }
    return {TMessage::Error(QString("Thermometer '%1' was removed by another window; %2.")
                                .arg(chosen.description, Not_Carried_Out(action)))};
}

QString Edited_Description(const TThermometerEdit& edit)
{
    const QString& opened = edit.opened.description;
    // The editor drops blanks around a description, but one a hand-edited file stored with them is
    // still the thermometer being edited, not a new one.
    if (!edit.opened.Is_None() && opened != opened.trimmed() && edit.entry.description == opened.trimmed())
    {
        return opened;
    }
    return edit.entry.description;
}

bool Apply_Edit(TThermometerList* list, const TThermometerEdit& edit, TMessage* message,
                TChangeRefusal* refusal)
{
    Q_ASSERT_X(list != nullptr && message != nullptr && refusal != nullptr, "Apply_Edit",
               "list, message, refusal");
    *refusal = TChangeRefusal::None;
    const QString opened = edit.opened.description;
    const QString description = Edited_Description(edit);
    // Kept apart from the description only by letter case, it is the same thermometer; another
    // description adds a thermometer.
    if (!edit.opened.Is_None() && TThermometerList::Is_Same_Description(description, opened))
    {
        const QString on_disk = list->Get_Stored_Record(opened);
        if (on_disk.isNull())
        {
            return Refuse(
                TChangeRefusal::Removed_Meanwhile,
                TMessage::Error(QString("Thermometer '%1' was removed by another window after the Correction "
                                        "Editor opened on it; this change was not saved.")
                                    .arg(opened)),
                message, refusal);
        }
        if (on_disk != edit.opened.record)
        {
            return Refuse(
                TChangeRefusal::Changed_Meanwhile,
                TMessage::Error(
                    QString("Thermometer '%1' was changed by another window after the Correction "
                            "Editor opened on it; this change was not saved. The editor now opens on "
                            "its current values.")
                        .arg(opened)),
                message, refusal);
        }
        const QString stored = list->Get_Stored_Description(opened);
        const bool renamed = stored != description && list->Rename_Thermometer(stored, description);
        list->Set_Correction_Data(description, edit.entry);
        list->Set_Calibration_Due_Date(description, edit.entry.calibration_due_date);
        const QString due = Due_Date_Text(list->Get_Calibration_Due_Date(description));
        *message =
            renamed
                ? TMessage::Info(QString("Updated correction data for '%1' (renamed from '%2').  Calibration "
                                         "Due: %3")
                                     .arg(description, stored, due))
                : TMessage::Info(QString("Updated correction data for '%1'.  Calibration Due: %2")
                                     .arg(description, due));
        return true;
    }
    const QString taken = list->Get_Stored_Description(description);
    if (!taken.isEmpty())
    {
        return Refuse(
            TChangeRefusal::Description_Taken,
            TMessage::Error(
                QString("Thermometer '%1' was not added: another window added '%2' meanwhile, and "
                        "descriptions that differ only in letter case are the same thermometer; this "
                        "change was not saved.")
                    .arg(description, taken)),
            message, refusal);
    }
    list->Set_Correction_Data(description, edit.entry);
    list->Set_Calibration_Due_Date(description, edit.entry.calibration_due_date);
    *message =
        TMessage::Info(QString("Added correction data for '%1'.  Calibration Due: %2")
                           .arg(description, Due_Date_Text(list->Get_Calibration_Due_Date(description))));
    return true;
}

bool Apply_Removal(TThermometerList* list, const TChosenThermometer& confirmed, TMessage* message,
                   TChangeRefusal* refusal)
{
    Q_ASSERT_X(list != nullptr && message != nullptr && refusal != nullptr, "Apply_Removal",
               "list, message, refusal");
    *refusal = TChangeRefusal::None;
    const QString& description = confirmed.description;
    if (!confirmed.Is_None())
    {
        const QString on_disk = list->Get_Stored_Record(description);
        if (on_disk.isNull())
        {
            return Refuse(
                TChangeRefusal::Removed_Meanwhile,
                Chosen_State_Message(TThermometerAction::Removal, confirmed, TChosenState::Gone).first(),
                message, refusal);
        }
        if (on_disk != confirmed.record)
        {
            return Refuse(
                TChangeRefusal::Changed_Meanwhile,
                TMessage::Error(
                    QString("Thermometer '%1' was not removed: another window changed it after the "
                            "removal was asked for. Check its current values, then remove it again if it "
                            "is still to go.")
                        .arg(description)),
                message, refusal);
        }
    }
    list->Remove_Thermometer_Data(description);
    *message = TMessage::Info(QString("Removed correction data for '%1'.").arg(description));
    return true;
}
