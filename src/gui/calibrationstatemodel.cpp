#include "calibrationstatemodel.h"

#include "calibrationstatus.h"
#include "clock.h"
#include "thermometerdata.h"

#include <QDate>

TCalibrationStateModel::TCalibrationStateModel(const TThermometerList* list, QObject* parent)
    : QStandardItemModel(parent), thermometer_list(list), warn_days_before_due(Default_Warn_Days_Before_Due)
{
    Q_ASSERT_X(list != nullptr, "TCalibrationStateModel", "list");
}

QVariant TCalibrationStateModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DecorationRole && role != Qt::ToolTipRole)
    {
        return QStandardItemModel::data(index, role);
    }
    if (!index.isValid())
    {
        return QVariant();
    }
    const QString description = QStandardItemModel::data(index, Qt::DisplayRole).toString();
    const QDate due_date = thermometer_list->Get_Calibration_Due_Date(description);
    const TThermometerCorrection correction = thermometer_list->Get_Correction(description);
    const QDate today = TClock::Today();
    if (role == Qt::ToolTipRole)
    {
        return Calibration_Tooltip(due_date, today, warn_days_before_due, correction,
                                   Doubt_Review_Of(description));
    }
    const TCalibrationState state = Calibration_State(due_date, today, warn_days_before_due, correction);
    QIcon& icon = state_icons[static_cast<int>(state)];
    if (icon.isNull())
    {
        icon = QIcon(Calibration_State_Icon(state));
    }
    return icon;
}

void TCalibrationStateModel::Refresh(int warn_days)
{
    warn_days_before_due = warn_days;
    if (rowCount() > 0)
    {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::DecorationRole, Qt::ToolTipRole});
    }
}

void TCalibrationStateModel::Set_Reviewed_Doubts(const QHash<QString, TReviewedDoubt>& reviewed)
{
    reviewed_doubts = reviewed;
}

QString TCalibrationStateModel::Doubt_Review_Of(const QString& description) const
{
    return reviewed_doubts.isEmpty() ? QString()
                                     : Doubt_Review(reviewed_doubts, *thermometer_list, description);
}

QSet<QString> TCalibrationStateModel::Reviewed_Doubt_Keys() const
{
    QSet<QString> keys;
    for (auto doubt = reviewed_doubts.cbegin(); doubt != reviewed_doubts.cend(); ++doubt)
    {
        if (!Doubt_Review_Of(doubt->calibration.description).isEmpty())
        {
            keys.insert(doubt.key());
        }
    }
    return keys;
}
