// Messages for the operator: the log line each level gives, byte for byte, and the decisions taken by
// severity, which a text that happens to begin like another level's line must not sway.
#include "message.h"

#include <QtTest>

Q_DECLARE_METATYPE(TSeverity)

class TMessageTest : public QObject
{
    Q_OBJECT

private slots:
    void Log_Line_data()
    {
        QTest::addColumn<TSeverity>("severity");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("information") << TSeverity::Info << "Evaluation file written."
                                     << "INF  Evaluation file written.";
        QTest::newRow("warning") << TSeverity::Warning << "Reading 41.5."
                                 << "WAR  Reading 41.5.";
        QTest::newRow("error") << TSeverity::Error << "Cannot lock."
                               << "ERR  Cannot lock.";
        // The text as it is: blanks at either end, a placeholder left unfilled, another level's prefix.
        QTest::newRow("text kept") << TSeverity::Info << " ERR  %1 "
                                   << "INF   ERR  %1 ";
        QTest::newRow("empty text") << TSeverity::Warning << ""
                                    << "WAR  ";
    }

    void Log_Line()
    {
        QFETCH(TSeverity, severity);
        QFETCH(QString, text);
        QFETCH(QString, line);
        QCOMPARE(TMessage(severity, text).Log_Line(), line);
        QCOMPARE(Log_Lines({TMessage(severity, text), TMessage(severity, text)}), QStringList({line, line}));
        QCOMPARE(Message_Texts({TMessage(severity, text)}), QStringList(text));
    }

    // What velmora-cli decides its exit status and standard error by.
    void Severity_Decides_data()
    {
        QTest::addColumn<TMessages>("messages");
        QTest::addColumn<TSeverity>("highest");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("none") << TMessages() << TSeverity::Info << QStringList();
        QTest::newRow("texts that look like errors")
            << TMessages{TMessage::Info("ERR  Loaded 'ERR probe'."), TMessage::Info("WAR")} << TSeverity::Info
            << QStringList();
        QTest::newRow("a warning that looks like an error")
            << TMessages{TMessage::Info("Loaded."), TMessage::Warning("ERR entry left out.")}
            << TSeverity::Warning << QStringList("WAR  ERR entry left out.");
        QTest::newRow("an error among warnings, in order")
            << TMessages{TMessage::Warning("first"), TMessage::Error("INF second"), TMessage::Info("third"),
                         TMessage::Warning("fourth")}
            << TSeverity::Error << QStringList({"WAR  first", "ERR  INF second", "WAR  fourth"});
    }

    void Severity_Decides()
    {
        QFETCH(TMessages, messages);
        QFETCH(TSeverity, highest);
        QFETCH(QStringList, warnings);
        QCOMPARE(Highest_Severity(messages), highest);
        QCOMPARE(Log_Lines(At_Least(messages, TSeverity::Warning)), warnings);
        const TMessages errors = At_Least(messages, TSeverity::Error);
        QCOMPARE(errors.isEmpty(), highest != TSeverity::Error);
    }
};

QTEST_GUILESS_MAIN(TMessageTest)
#include "tst_message.moc"
