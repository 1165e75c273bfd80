#include "calibrationfindings.h"
#include "calibrationhistory.h"
#include "calibrationstore.h"
#include "calibrationtestsupport.h"
#include "clock.h"
#include "platform.h"

#include <QCryptographicHash>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace Test_Support;

// What a person has to look at, found from the history and the calibration file, and closed only by a
// review that the store appends under the lock while the finding is still open as shown.
class TCalibrationFindingsTest : public QObject, THistoryDirectory
{
    Q_OBJECT

    static QString Writer() { return Account_Name() + " on " + QSysInfo::machineHostName(); }

    // The store of a window just started: loaded and checked against the history, what it found recorded.
    TCalibrationStore Start(TThermometerList* list, THistoryCheckResult* check = nullptr)
    {
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(data_directory);
        store.Load_Thermometers(list);
        const THistoryCheckResult result = store.Check_Calibration_History(*list);
        if (check != nullptr)
        {
            *check = result;
        }
        return store;
    }
    // What a reader that records nothing finds: velmora-cli's check and findings.
    QVector<TFinding> Findings_Now()
    {
        TCalibrationStore store = TCalibrationStore::In_Data_Directory(data_directory);
        TThermometerList list;
        store.Load_Thermometers(&list);
        return store.Verify_Calibration_History(list).findings;
    }
    // "doubtful calibration 3 Probe X open", one a finding.
    static QStringList Described(const QVector<TFinding>& findings)
    {
        QStringList described;
        for (const TFinding& finding : findings)
        {
            described << QString("%1 %2 %3 %4")
                             .arg(Finding_Kind_Text(finding.kind), QString::number(finding.record),
                                  finding.description, finding.reviewed ? "reviewed" : "open");
        }
        return described;
    }
    static const TFinding* Find(const QVector<TFinding>& findings, TFinding::TKind kind)
    {
        const auto found = std::find_if(findings.begin(), findings.end(),
                                        [kind](const TFinding& finding) { return finding.kind == kind; });
        return found == findings.end() ? nullptr : &*found;
    }
    // A calibration file with a thermometer whose description, escaped, makes the file larger than its
    // history: a file size limit then lets the records be written but not the file.
    bool Write_Large_File() const { return Write_Calibration_File({{QString(2000, '&')}}, calibration_file); }
    // Replaces the calibration file's bytes before with after, as a hand edit does (with the same digits,
    // the entry's checksum holds).
    bool Edit_By_Hand(const QByteArray& before, const QByteArray& after) const
    {
        QByteArray file = Read_File(calibration_file);
        if (!file.contains(before))
        {
            return false;
        }
        return Write_File(calibration_file, file.replace(before, after));
    }

    // Changes Probe X and B (and Doubt 1.5 K off for "doubtful") through store, then brings about the
    // event of a finding: a hand edit of Probe X (to a doubtful value), a save that fails after its record
    // (the store started on Write_Large_File), the history deleted, a line of it edited or deleted, a
    // damaged record or a cut-off last line.
    bool Bring_About(const QString& event, TCalibrationStore* store, TThermometerList* list)
    {
        if (!store->Change_Thermometers(list, Set_Thermometer("Probe X", 0.2)).saved ||
            (event == "doubtful" && !store->Change_Thermometers(list, Set_Thermometer("Doubt", 1.5)).saved) ||
            !store->Change_Thermometers(list, Set_Thermometer("B", 0.1)).saved)
        {
            return false;
        }
        if (event == "hand edit" || event == "pending" || event == "doubtful hand edit")
        {
            return Edit_By_Hand("20.00000,0.20000",
                                event == "doubtful hand edit" ? "20.00000,2.00000" : "20.00000,0.02000");
        }
        if (event == "not saved")
        {
            // Room for the change's record, not for the file.
            bool saved = true;
            With_File_Size_Limit(rlim_t(QFileInfo(calibration_file).size() - 1), [&] {
                saved = store->Change_Thermometers(list, Set_Thermometer("Probe X", 0.3)).saved;
            });
            return !saved;
        }
        if (event == "lost")
        {
            return QFile::remove(history_file);
        }
        if (event == "cut off")
        {
            // A record whose write was cut off: the file holds nothing of it.
            return Write_File(history_file, Read_File(history_file) + "{\"action\":\"changed\",\"af");
        }
        if (event == "damaged")
        {
            // A record of Probe X that names another thermometer.
            THistoryRecord record;
            record.action = THistoryRecord::Changed_Outside;
            record.description = "Probe Y";
            record.has_before = record.has_after = true;
            record.before = record.after = History_State(*list, "Probe X");
            THistoryContent content = History();
            QString error;
            return Append_History(history_file, {record}, &content, &error);
        }
        QList<QByteArray> lines = Lines();
        if (event == "edited")
        {
            lines[1].replace("\"user\":\"", "\"user\":\"x");
        }
        else if (event == "deleted")
        {
            lines.removeAt(1);
        }
        return Write_Lines(lines);
    }

private slots:
    void init() { QVERIFY(Prepare()); }
    void cleanup() { Clean_Up(); }

    // Every kind of finding, each tied to the line a review can name, or to none where there is none yet;
    // one with a line can be reviewed.
    void Findings_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QStringList>("findings");
        QTest::addColumn<QString>("origin"); // of the first finding
        QTest::newRow("nothing wrong") << "sound" << QStringList() << "";
        QTest::newRow("a probe 1.5 K off") << "doubtful" << QStringList("doubtful calibration 3 Doubt open")
                                           << "added by " + Writer() + " at 2026-12-07T10:30:00+01:00";
        QTest::newRow("hand edit") << "hand edit" << QStringList("changed outside Velmora 5 Probe X open")
                                   << "found by " + Writer() + " at 2026-12-07T10:30:00+01:00";
        // The hand edit is the record of the doubtful calibration too: two questions, two reviews.
        QTest::newRow("hand edit to a doubtful value")
            << "doubtful hand edit"
            << QStringList({"changed outside Velmora 5 Probe X open", "doubtful calibration 5 Probe X open"})
            << "found by " + Writer() + " at 2026-12-07T10:30:00+01:00";
        QTest::newRow("hand edit, found by a reader")
            << "pending" << QStringList("changed outside Velmora 0 Probe X open") << "not recorded yet";
        QTest::newRow("a save that failed") << "not saved" << QStringList("not saved 7 Probe X open")
                                            << "found by " + Writer() + " at 2026-12-07T10:30:00+01:00";
        QTest::newRow("history deleted") << "lost" << QStringList("history lost 1  open")
                                         << "found by " + Writer() + " at 2026-12-07T10:30:00+01:00";
        QTest::newRow("a line edited") << "edited" << QStringList("broken chain 3  open") << "";
        // Every line after a deleted one is misnumbered: one finding, not one per line.
        // The file was saved after a line that is another one now, so the history is lost too; and the mark
        // after the gap names a record it cannot mark.
        QTest::newRow("a line deleted")
            << "deleted"
            << QStringList({"broken chain 2  open", "damaged record 3  open", "history lost 4  open"}) << "";
        QTest::newRow("a damaged record") << "damaged" << QStringList("damaged record 5 Probe X open") << "";
        QTest::newRow("a cut-off last line") << "cut off" << QStringList("incomplete line 0  open") << "";
    }

    void Findings()
    {
        QFETCH(QString, event);
        QFETCH(QStringList, findings);
        QFETCH(QString, origin);
        QVERIFY(event != "not saved" || Write_Large_File());
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(Bring_About(event, &store, &list));
        if (event != "pending")
        {
            Start(&list);
        }
        const QVector<TFinding> found = Findings_Now();
        QCOMPARE(Described(found), findings);
        if (!found.isEmpty())
        {
            QCOMPARE(found[0].origin, origin);
            const THistoryContent history = History();
            const auto line =
                std::find_if(history.records.begin(), history.records.end(),
                             [&](const THistoryRecord& record) { return record.number == found[0].record; });
            // Tied to its line by that line's SHA-256, unless it is a run of lines.
            if (found[0].Is_Reviewable() && found[0].kind != TFinding::Broken_Chain)
            {
                QVERIFY(line != history.records.end());
                QCOMPARE(found[0].hash, Sha256(Lines()[found[0].record - 1]));
            }
            QCOMPARE(found[0].Is_Reviewable(), found[0].record > 0);
        }
        // A start names each open finding (a doubtful one by its thermometer's own line), and records
        // nothing again; what a reader found is recorded by the next start.
        if (event == "pending")
        {
            findings = QStringList("changed outside Velmora 5 Probe X open");
            Start(&list);
        }
        const qint64 size = QFileInfo(history_file).size();
        THistoryCheckResult again;
        Start(&list, &again);
        QCOMPARE(Described(again.findings), findings);
        QCOMPARE(QFileInfo(history_file).size(), size);
        QCOMPARE(again.finding_messages.isEmpty(), findings.isEmpty() || event == "doubtful");
        if (found.size() != 1 || !found[0].Is_Reviewable())
        {
            return;
        }
        // A finding that has a line can be reviewed, and stays closed at every later start.
        QVERIFY(store.Review_Finding(list, Findings_Now()[0], "looked at it").reviewed);
        Start(&list, &again);
        QCOMPARE(Log_Lines(again.finding_messages), QStringList());
        QVERIFY(!Has_Open_Finding(again.findings));
        QCOMPARE(Findings_Now().size(), 1);
        QVERIFY(Findings_Now()[0].reviewed);
        // The review itself is a record of the chain: a change after it still settles and agrees.
        QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("C", 0.1)).saved);
        QVERIFY(!Has_Open_Finding(Findings_Now()));
    }

    // A review closes its finding for every later reader, and a new change of the thermometer opens a new
    // one, also one back to the very values reviewed.
    void Review_Closes_And_A_Change_Reopens()
    {
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("Probe X", 1.5)).saved);
        QVector<TFinding> open = Findings_Now();
        QCOMPARE(Described(open), QStringList("doubtful calibration 1 Probe X open"));

        TClock::Set_Fixed_Now(Test_Now().addSecs(3600));
        const TReviewResult result = store.Review_Finding(list, open[0], "  probe replaced, 1.5 K is real ");
        QVERIFY(result.reviewed);
        QCOMPARE(Log_Lines(result.messages),
                 QStringList("INF  Finding reviewed as record 3 of the calibration history: record 1: "
                             "thermometer 'Probe X' is doubtful: the test point at 15.00 \u00b0C deviates by "
                             "1.50 \u00b0C, more than 1 \u00b0C; the test point at 20.00 \u00b0C deviates by "
                             "1.50 \u00b0C, more than 1 \u00b0C; the test point at 25.00 \u00b0C deviates by "
                             "1.50 \u00b0C, more than 1 \u00b0C (added by " +
                             Writer() +
                             " at 2026-12-07T10:30:00+01:00). Comment: probe replaced, 1.5 K is real"));
        // The reviewer's record: who, when, what and why, in the chain like any other.
        const THistoryContent history = History();
        QCOMPARE(history.first_break, 0);
        const THistoryRecord& review = history.records.last();
        QCOMPARE(review.number, 3);
        QCOMPARE(review.action, THistoryRecord::Reviewed);
        QCOMPARE(review.user, Account_Name());
        QCOMPARE(review.host, QSysInfo::machineHostName());
        QCOMPARE(review.time, QString("2026-12-07T11:30:00+01:00"));
        QCOMPARE(review.description, QString("Probe X"));
        QCOMPARE(review.reviews, 1);
        QCOMPARE(review.reviews_hash, Sha256(Lines()[0]));
        QCOMPARE(review.finding, QString("doubtful calibration"));
        QCOMPARE(review.comment, QString("probe replaced, 1.5 K is real"));
        QVERIFY(!review.has_before && !review.has_after);
        QCOMPARE(
            History_Change_Text(review),
            QString(
                "reviewed the finding of record 1 (doubtful calibration): probe replaced, 1.5 K is real"));
        QVERIFY(Lines().last().contains("\"comment\":\"probe replaced, 1.5 K is real\""));

        const QVector<TFinding> all = Calibration_Findings(History(), THistoryComparison(), list,
                                                           QDate(2026, 12, 7), TFindingScope::With_Reviewed);
        QCOMPARE(Described(all), QStringList("doubtful calibration 1 Probe X reviewed"));
        QCOMPARE(Review_Text(all[0]), "by " + Writer() +
                                          " at 2026-12-07T11:30:00+01:00 (record 3): probe "
                                          "replaced, 1.5 K is real");
        QCOMPARE(Findings_Now().size(), 1);
        QVERIFY(!Has_Open_Finding(Findings_Now()));
        THistoryCheckResult check;
        Start(&list, &check);
        QCOMPARE(Log_Lines(check.finding_messages), QStringList());
        QVERIFY(check.agrees);

        // Changed, and changed back: each change is a calibration nobody reviewed yet.
        QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("Probe X", 1.6)).saved);
        QCOMPARE(Described(Findings_Now()), QStringList("doubtful calibration 4 Probe X open"));
        QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("Probe X", 1.5)).saved);
        QCOMPARE(Described(Findings_Now()), QStringList("doubtful calibration 6 Probe X open"));
        // The reviewed calibration's review names it no more.
        const QHash<QString, TReviewedDoubt> reviewed = Reviewed_Doubts(all);
        QCOMPARE(reviewed.size(), 1);
        QCOMPARE(reviewed.value(TThermometerList::Lookup_Key("Probe X")).calibration,
                 History().records[0].after);
    }

    // A review is written only for the finding as the reviewer saw it, still open; otherwise the history
    // holds no review and an ERR line says why.
    void Review_Refused_data()
    {
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("reason"); // DATA: the data directory
        QTest::newRow("no comment") << "blank"
                                    << "a review needs a comment";
        QTest::newRow("no record yet") << "pending"
                                       << "the calibration history holds no record of it yet";
        QTest::newRow("reviewed by another window")
            << "reviewed"
            << "it was reviewed meanwhile by " + Writer() + " at 2026-12-07T10:30:00+01:00 (record 5): first";
        QTest::newRow("changed since it was shown")
            << "changed"
            << "it is no longer a finding as shown; the history or the calibration file changed since";
        QTest::newRow("its record rewritten")
            << "rewritten"
            << "it is no longer a finding as shown; the history or the calibration file changed since";
        QTest::newRow("no lock")
            << "lock"
            << "cannot lock calibration file 'DATA/calibration_data.xml': the lock file "
               "'DATA/calibration_data.xml.lock' is a directory, not a lock Velmora can use. "
               "Remove 'DATA/calibration_data.xml.lock' (Velmora makes only plain files of that "
               "name), then make the change again";
    }

    void Review_Refused()
    {
        QFETCH(QString, refusal);
        QFETCH(QString, reason);
        reason.replace("DATA", QDir::toNativeSeparators(data_directory));
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("Probe X", 1.5)).saved);
        QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("B", 0.1)).saved);
        if (refusal == "pending")
        {
            // Still doubtful, but not what the history says: until a start records it, no record holds it.
            QVERIFY(Edit_By_Hand("20.00000,1.50000", "20.00000,5.10000"));
        }
        const QVector<TFinding> findings = Findings_Now();
        const TFinding* shown = Find(findings, TFinding::Doubtful_Calibration);
        QVERIFY(shown != nullptr);
        QString comment = "looked at it";
        if (refusal == "blank")
        {
            comment = " \t ";
        }
        else if (refusal == "reviewed")
        {
            TThermometerList other_list;
            QVERIFY(Start(&other_list).Review_Finding(other_list, *shown, "first").reviewed);
        }
        else if (refusal == "changed")
        {
            // Changed by another window: its calibration now is one nobody was shown.
            TThermometerList other_list;
            QVERIFY(
                Start(&other_list).Change_Thermometers(&other_list, Set_Thermometer("Probe X", 1.6)).saved);
        }
        else if (refusal == "rewritten")
        {
            QList<QByteArray> lines = Lines();
            lines[shown->record - 1].replace("\"user\":\"", "\"user\":\"x");
            QVERIFY(Write_Lines(lines));
        }
        else if (refusal == "lock")
        {
            QVERIFY(QDir().mkdir(calibration_file + ".lock"));
            store.Set_Lock_Timeout(100);
        }
        const QByteArray before = Read_File(history_file);
        const TReviewResult result = store.Review_Finding(list, *shown, comment);
        QVERIFY(!result.reviewed);
        QCOMPARE(result.messages.last().Log_Line(),
                 "ERR  The finding of " +
                     (shown->record > 0 ? QString("record %1").arg(shown->record)
                                        : QString("the calibration history")) +
                     " was not marked as reviewed: " + reason + ".");
        // What was there is as it was; a settling of the file, if any, comes before and is no review.
        const QByteArray after = Read_File(history_file);
        QVERIFY(after.startsWith(before));
        QVERIFY(!after.mid(before.size()).contains("\"action\":\"reviewed\""));
        QDir(calibration_file + ".lock").removeRecursively();
    }

    // The record that put a thermometer's current calibration into the history, for the temperature log's
    // audit: not a change that never reached the file, none for a calibration the history does not hold.
    void Calibration_Record_Is_The_One_In_Force()
    {
        QVERIFY(Write_Large_File());
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("Probe X", 0.2)).saved);
        QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("B", 0.1)).saved);
        QCOMPARE(Calibration_Record(History(), list, "probe x"), 1);
        With_File_Size_Limit(rlim_t(QFileInfo(calibration_file).size() - 1), [&] {
            QVERIFY(!store.Change_Thermometers(&list, Set_Thermometer("Probe X", 0.3)).saved);
        });
        QCOMPARE(History().records.last().action, THistoryRecord::Not_Saved);
        QCOMPARE(Calibration_Record(History(), list, "Probe X"), 1);
        QVERIFY(Edit_By_Hand("20.00000,0.20000", "20.00000,0.02000"));
        TThermometerList edited;
        edited.Load_Calibration_File(calibration_file);
        QCOMPARE(Calibration_Record(History(), edited, "Probe X"), -1);
        Start(&edited);
        QCOMPARE(History().records[Calibration_Record(History(), edited, "Probe X")].action,
                 THistoryRecord::Changed_Outside);
        QCOMPARE(Calibration_Record(History(), edited, "Probe Z"), -1);
    }

    // A start names a broken chain while it is open, and each further break as a finding of its own.
    void Start_Names_Only_Open_Breaks()
    {
        TThermometerList list;
        TCalibrationStore store = Start(&list);
        for (int change = 0; change < 4; ++change)
        {
            QVERIFY(store.Change_Thermometers(&list, Set_Thermometer("Probe X", 0.1 + 0.1 * change)).saved);
        }
        QList<QByteArray> lines = Lines();
        lines[1].replace("\"user\":\"", "\"user\":\"x");
        lines[5].replace("\"user\":\"", "\"user\":\"x");
        QVERIFY(Write_Lines(lines));
        const QString chain = "WAR  Calibration history '" + QDir::toNativeSeparators(history_file) + "': ";
        THistoryCheckResult check;
        Start(&list, &check);
        QCOMPARE(Log_Lines(check.finding_messages),
                 QStringList(
                     {chain + "record 3 does not fit the chain (it does not follow record 2); a record was "
                              "changed, inserted or deleted there.",
                      "WAR  Open finding, record 7 does not fit the chain (it does not follow record 6). "
                      "Review it in the Calibration History window."}));
        QVERIFY(store.Review_Finding(list, Findings_Now()[0], "a typing slip in the user name").reviewed);
        Start(&list, &check);
        QCOMPARE(Log_Lines(check.finding_messages),
                 QStringList(chain +
                             "record 7 does not fit the chain (it does not follow record 6); a record was "
                             "changed, inserted or deleted there."));
        QVERIFY(!check.agrees);
    }
};

VELMORA_TEST_MAIN_WITH_WRITER(TCalibrationFindingsTest)
#include "tst_calibrationfindings.moc"
