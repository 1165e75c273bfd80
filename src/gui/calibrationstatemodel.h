#ifndef CALIBRATIONSTATEMODEL_H
#define CALIBRATIONSTATEMODEL_H

#include "calibrationfindings.h"

#include <QHash>
#include <QIcon>
#include <QStandardItemModel>

class TThermometerList;

// The thermometer selector's items, one per description: each shows its thermometer's calibration
// state as icon and tooltip, worked out from the list when a view asks for them. Worked out for
// every item whenever the list changed, the tooltips alone cost more than the rest of an edit with
// thousands of thermometers, most of which are never pointed at.
class TCalibrationStateModel : public QStandardItemModel
{
    Q_OBJECT

public:
    TCalibrationStateModel(const TThermometerList* list, QObject* parent);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Takes the warning period and tells the views that every item's state may have changed: after
    // the list, the period or the day changed.
    void Refresh(int warn_days);
    // Takes the reviewed doubtful calibrations as the history was last read (Reviewed_Doubts), for the
    // tooltips; the caller refreshes.
    void Set_Reviewed_Doubts(const QHash<QString, TReviewedDoubt>& reviewed);
    // The review of description's doubtful calibration as it is now (Doubt_Review); empty for none.
    QString Doubt_Review_Of(const QString& description) const;
    // The lookup keys of the thermometers whose calibration as it is now has a review.
    QSet<QString> Reviewed_Doubt_Keys() const;

private:
    const TThermometerList* const thermometer_list;
    int warn_days_before_due;
    QHash<QString, TReviewedDoubt> reviewed_doubts;
    // One icon per state, shared by the items: reading the image for each item was most of a
    // start-up with thousands of thermometers.
    mutable QHash<int, QIcon> state_icons;
};

#endif // CALIBRATIONSTATEMODEL_H
