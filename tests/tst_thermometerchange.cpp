#include "calibrationtestsupport.h"
#include "thermometerchange.h"

#include <QtTest>

using namespace Test_Support;

Q_DECLARE_METATYPE(TChangeRefusal)
Q_DECLARE_METATYPE(TChosenState)
Q_DECLARE_METATYPE(TThermometerAction)

namespace
{

const QDate Due(2031, 12, 31);

// The thermometers named, each with readings 0.12 above the references 15, 20, 25; a description
// followed by "*" reads 0.5 above them instead, as after another window's recalibration.
TThermometerList List(const QStringList& descriptions)
{
    TThermometerList list;
    for (QString description : descriptions)
    {
        const double offset = description.endsWith('*') ? 0.5 : 0.12;
        description.remove('*');
        list.Set_Correction_Data(description, {15, 20, 25, 15 + offset, 20 + offset, 25 + offset, {}, {}});
        list.Set_Calibration_Due_Date(description, Due);
    }
    return list;
}

// Each thermometer as "description:deviation at test point 2".
QStringList Contents(const TThermometerList& list)
{
    QStringList contents;
    for (const QString& description : list.Get_Descriptions())
    {
        contents << QString("%1:%2").arg(description).arg(list.Get_Correction(description).Get_Point2().y);
    }
    return contents;
}

} // namespace

// The rules by which an edit, a removal or a report is carried out on the calibration data as the file
// holds it then, without a window.
class TThermometerChangeTest : public QObject
{
    Q_OBJECT

private slots:
    // The one matching of descriptions: letter case is ignored, character by character.
    void Same_Description_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("same");
        QTest::newRow("letter case") << "Probe A"
                                     << "pROBE a" << true;
        QTest::newRow("accented") << "\u00c9tuve"
                                  << "\u00e9TUVE" << true;
        QTest::newRow("final sigma") << "\u039b\u039f\u0393\u039f\u03a3"
                                     << "\u03bb\u03bf\u03b3\u03bf\u03c2" << true;
        QTest::newRow("other") << "Probe A"
                               << "Probe B" << false;
        QTest::newRow("blanks count") << "Probe A"
                                      << " Probe A" << false;
        QTest::newRow("empty names none") << ""
                                          << "" << false;
    }

    void Same_Description()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, same);
        QCOMPARE(TThermometerList::Is_Same_Description(first, second), same);
        TThermometerList list = List({first.isEmpty() ? "X" : first});
        QCOMPARE(!list.Get_Stored_Record(second).isNull(), same);
    }

    // An edit applied to the file as it is when saved: the thermometer the editor opened on (none for a
    // new one), as it was then, and what the file holds by then. A removal likewise, carried out on the
    // thermometer as the operator confirmed it, or not at all.
    void Change_data()
    {
        QTest::addColumn<QStringList>("opened_list"); // what the window showed
        QTest::addColumn<QString>("opened");          // empty: the editor opened empty
        QTest::addColumn<QStringList>("on_disk");     // the file when the change is saved
        QTest::addColumn<QString>("entered");         // the entry's description; null: a removal
        QTest::addColumn<TChangeRefusal>("refusal");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("after"); // the list after, as Contents gives it
        const QString due = " Calibration Due: Dec 31 2031";
        QTest::newRow("in place") << QStringList{"A", "B"} << "A" << QStringList{"A", "B"} << "A"
                                  << TChangeRefusal::None << "INF  Updated correction data for 'A'. " + due
                                  << QStringList{"A:0.3", "B:0.12"};
        // The case-only rename: one thermometer, its description now as typed, in its place.
        QTest::newRow("letter case")
            << QStringList{"Probe A", "B"} << "Probe A" << QStringList{"Probe A", "B"} << "PROBE A"
            << TChangeRefusal::None
            << "INF  Updated correction data for 'PROBE A' (renamed from 'Probe A'). " + due
            << QStringList{"PROBE A:0.3", "B:0.12"};
        QTest::newRow("stored with blanks")
            << QStringList{" B "} << " B " << QStringList{" B "} << "B" << TChangeRefusal::None
            << "INF  Updated correction data for ' B '. " + due << QStringList{" B :0.3"};
        QTest::newRow("another description adds")
            << QStringList{"A"} << "A" << QStringList{"A"} << "Bath" << TChangeRefusal::None
            << "INF  Added correction data for 'Bath'. " + due << QStringList{"A:0.12", "Bath:0.3"};
        QTest::newRow("new thermometer")
            << QStringList{"A"} << QString() << QStringList{"A", "B"} << "C" << TChangeRefusal::None
            << "INF  Added correction data for 'C'. " + due << QStringList{"A:0.12", "B:0.12", "C:0.3"};
        const QString changed =
            "ERR  Thermometer 'A' was changed by another window after the Correction Editor "
            "opened on it; this change was not saved. The editor now opens on its current "
            "values.";
        QTest::newRow("changed meanwhile")
            << QStringList{"A", "B"} << "A" << QStringList{"A*", "B"} << "A"
            << TChangeRefusal::Changed_Meanwhile << changed << QStringList{"A:0.5", "B:0.12"};
        QTest::newRow("renamed meanwhile")
            << QStringList{"A"} << "A" << QStringList{"a"} << "A" << TChangeRefusal::Changed_Meanwhile
            << changed << QStringList{"a:0.12"};
        QTest::newRow("removed meanwhile")
            << QStringList{"A", "B"} << "A" << QStringList{"B"} << "a" << TChangeRefusal::Removed_Meanwhile
            << "ERR  Thermometer 'A' was removed by another window after the Correction Editor opened on it; "
               "this change was not saved."
            << QStringList{"B:0.12"};
        QTest::newRow("taken meanwhile")
            << QStringList{"A"} << QString() << QStringList{"A", "probe x"} << "Probe X"
            << TChangeRefusal::Description_Taken
            << "ERR  Thermometer 'Probe X' was not added: another window added 'probe x' meanwhile, and "
               "descriptions that differ only in letter case are the same thermometer; this change was not "
               "saved."
            << QStringList{"A:0.12", "probe x:0.12"};
        QTest::newRow("removal as confirmed")
            << QStringList{"A", "B"} << "b" << QStringList{"A", "B"} << QString() << TChangeRefusal::None
            << "INF  Removed correction data for 'B'." << QStringList{"A:0.12"};
        QTest::newRow("removal of one changed meanwhile")
            << QStringList{"A", "B"} << "B" << QStringList{"A", "B*"} << QString()
            << TChangeRefusal::Changed_Meanwhile
            << "ERR  Thermometer 'B' was not removed: another window changed it after the removal was asked "
               "for. Check its current values, then remove it again if it is still to go."
            << QStringList{"A:0.12", "B:0.5"};
        QTest::newRow("removal of one removed meanwhile")
            << QStringList{"A", "B"} << "B" << QStringList{"A"} << QString()
            << TChangeRefusal::Removed_Meanwhile
            << "INF  Thermometer 'B' was already removed by another window." << QStringList{"A:0.12"};
        QTest::newRow("removal of none")
            << QStringList{"A", "B"} << QString() << QStringList{"A"} << QString() << TChangeRefusal::None
            << "INF  Removed correction data for ''." << QStringList{"A:0.12"};
    }

    void Change()
    {
        QFETCH(QStringList, opened_list);
        QFETCH(QString, opened);
        QFETCH(QStringList, on_disk);
        QFETCH(QString, entered);
        QFETCH(TChangeRefusal, refusal);
        QFETCH(QString, message);
        QFETCH(QStringList, after);
        const TThermometerList shown = List(opened_list);
        const TChosenThermometer chosen =
            opened.isEmpty() && !entered.isNull() ? TChosenThermometer() : Choose_Thermometer(shown, opened);
        TThermometerList list = List(on_disk);
        TMessage line;
        TChangeRefusal refused = TChangeRefusal::Description_Taken;
        QCOMPARE(entered.isNull() ? Apply_Removal(&list, chosen, &line, &refused)
                                  : Apply_Edit(&list, {chosen, {15, 20, 25, 15.3, 20.3, 25.3, entered, Due}},
                                               &line, &refused),
                 refusal == TChangeRefusal::None);
        QCOMPARE(refused, refusal);
        QCOMPARE(line.Log_Line(), message);
        QCOMPARE(Contents(list), after);
    }

    // What an action says when the thermometer it was started on changed or went before it is carried
    // out.
    void Chosen_Thermometer_data()
    {
        QTest::addColumn<QStringList>("on_disk");
        QTest::addColumn<TThermometerAction>("action");
        QTest::addColumn<TChosenState>("state");
        QTest::addColumn<QString>("line");
        QTest::newRow("unchanged") << QStringList{"T"} << TThermometerAction::Edit << TChosenState::Unchanged
                                   << QString();
        QTest::newRow("edit of a changed one")
            << QStringList{"T*"} << TThermometerAction::Edit << TChosenState::Changed
            << "WAR  Thermometer 'T' was changed by another window; the Correction Editor opens on its "
               "current "
               "values.";
        QTest::newRow("removal of a changed one")
            << QStringList{"T*"} << TThermometerAction::Removal << TChosenState::Changed
            << "WAR  Thermometer 'T' was changed by another window; check its current values before removing "
               "it.";
        QTest::newRow("report of a renamed one")
            << QStringList{"t"} << TThermometerAction::Corrections_Report << TChosenState::Changed
            << "WAR  Thermometer 'T' was changed by another window; the corrections evaluation is written "
               "from "
               "its current values.";
        QTest::newRow("edit of one gone")
            << QStringList{"U"} << TThermometerAction::Edit << TChosenState::Gone
            << "ERR  Thermometer 'T' was removed by another window; the Correction Editor was not opened. "
               "Choose the thermometer to edit.";
        QTest::newRow("removal of one gone")
            << QStringList() << TThermometerAction::Removal << TChosenState::Gone
            << "INF  Thermometer 'T' was already removed by another window.";
        QTest::newRow("report of one gone")
            << QStringList{"U"} << TThermometerAction::Uncertainty_Report << TChosenState::Gone
            << "ERR  Thermometer 'T' was removed by another window; the uncertainty evaluation was not "
               "written. Choose the thermometer to report on.";
    }

    void Chosen_Thermometer()
    {
        QFETCH(QStringList, on_disk);
        QFETCH(TThermometerAction, action);
        QFETCH(TChosenState, state);
        QFETCH(QString, line);
        const TChosenThermometer chosen = Choose_Thermometer(List({"T"}), "t");
        QCOMPARE(chosen.description, QString("T"));
        const TThermometerList list = List(on_disk);
        QCOMPARE(Chosen_State(list, chosen), state);
        QCOMPARE(Log_Line_Of(Chosen_State_Message(action, chosen, state)), line);
        QCOMPARE(Chosen_State(list, Choose_Thermometer(list, "nothing")), TChosenState::None);
    }
};

QTEST_GUILESS_MAIN(TThermometerChangeTest)
#include "tst_thermometerchange.moc"
