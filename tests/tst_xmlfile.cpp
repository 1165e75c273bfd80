#include "velmoratestsupport.h"
#include "xmlfile.h"

#include <QtTest>

#include <unistd.h>

using namespace Test_Support;

class TXmlFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static QString Failure_Of(const std::function<void()>& operation)
    {
        try
        {
            operation();
        }
        catch (const TXmlFileException& exception)
        {
            return QString::number(exception.code) + " " + exception.message;
        }
        return QStringLiteral("(no exception)");
    }

private slots:
    // Each failure is reported with its own message and leaves the document as it was.
    void Failures_Keep_Empty_Document()
    {
        TXmlFile xml;
        xml.Create_Document("Id", 1);
        xml.file_name = dir.filePath("missing %2.xml"); // "%1" and "%2" in texts stay as they are
        QCOMPARE(Failure_Of([&] { xml.Open_File("Id", nullptr, true); }),
                 "0 ERR:  Cannot open file '" + xml.file_name + "' for reading.");
        QCOMPARE(Failure_Of([&] { xml.Get_Child_Element(&xml.root_element, "Gone", false); }),
                 "1 ERR:  Node 'Gone' is missing from node 'Id' and not optional.");
        QCOMPARE(Failure_Of([&] { xml.Get_Sibling_Element(&xml.root_element, "Next", false); }),
                 "1 ERR:  Node 'Next' is missing from node 'Id' and not optional.");
        QCOMPARE(Failure_Of([&] { xml.Write_Node_Data(&xml.root_element, "a\u0001%1b"); }),
                 "1 ERR:  Cannot write node 'Id' with data 'a\u0001%1b'");
        QByteArray data("old");
        xml.Save_Data(&data, false);
        QCOMPARE(data, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Id File_Version=\"1\"/>\n");
        xml.Save_Data(&data, true);
        QCOMPARE(data, "<?xml version=\"1.0\" encoding=\"utf-8\"?><Id File_Version=\"1\"/>");
    }

    // Qt 5.15's own parser reads past all but the last two and words every error differently; the
    // same document must be refused, with the same words, under either Qt version.
    void Parse_Errors_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("error"); // after "line "
        QTest::newRow("undeclared entity")
            << QByteArray("<Id>&bogus;</Id>") << "1 column 11: Entity 'bogus' not declared.";
        QTest::newRow("control character") << QByteArray("<Id>\x01</Id>") << "1 column 5: Unexpected ''.";
        QTest::newRow("invalid UTF-8")
            << QByteArray("<Id>\xc3</Id>") << "1 column 2: Encountered incorrectly encoded content.";
        QTest::newRow("repeated attribute")
            << QByteArray("<Id a='1' a='2'/>") << "1 column 17: Attribute 'a' redefined.";
        QTest::newRow("truncated") << QByteArray("<Id>") << "1 column 4: Premature end of document.";
        QTest::newRow("tag mismatch")
            << QByteArray("<Id>\n</I>") << "2 column 4: Opening and ending tag mismatch.";
    }

    void Parse_Errors()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, error);
        TXmlFile xml;
        QCOMPARE(Failure_Of([&] { xml.Open_Data(data, "Id", nullptr, false); }),
                 "1 ERR:  Reference data XML parse error at line " + error);
        xml.file_name = dir.filePath("damaged.xml");
        QVERIFY(Write_File(xml.file_name, data));
        QCOMPARE(Failure_Of([&] { xml.Open_File("Id", nullptr, false); }),
                 "1 ERR:  Reference file XML parse error at line " + error);
    }

    void Emoji_Reads_Back()
    {
        TXmlFile xml;
        xml.Open_Data("<Id>\xf0\x9f\x8c\xa1</Id>", "Id", nullptr, false);
        QCOMPARE(xml.Read_Node_Text(&xml.root_element, false), QString("\U0001F321"));
    }

    void Failed_Save_Keeps_Old_File_data()
    {
        QTest::addColumn<bool>("read_only"); // else files may grow to 512 bytes only, as on a full disk
        QTest::newRow("disk full") << false;
        QTest::newRow("read-only file") << true;
    }

    void Failed_Save_Keeps_Old_File()
    {
        QFETCH(bool, read_only);
        if (read_only && geteuid() == 0)
        {
            QSKIP("root writes through file permissions; run the suite as an unprivileged user");
        }
        QTemporaryDir save_dir;
        TXmlFile xml;
        xml.file_name = save_dir.filePath("a %2.xml");
        QVERIFY(Write_File(xml.file_name, "old"));
        QVERIFY(!read_only || QFile::setPermissions(xml.file_name, QFile::ReadOwner));
        xml.Create_Document(QString(1000, 'X'), 1); // larger than the limit
        QString failure;
        With_File_Size_Limit(512, [&] { failure = Failure_Of([&] { xml.Save_File(false); }); });
        QVERIFY2(failure.startsWith(read_only ? "0 " : "1 "), qPrintable(failure));
        QCOMPARE(Read_File(xml.file_name), "old");
        QCOMPARE(QDir(save_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a %2.xml"});
    }
};

QTEST_GUILESS_MAIN(TXmlFileTest)
#include "tst_xmlfile.moc"
