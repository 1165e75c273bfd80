#include "velmoratestsupport.h"
#include "xmlfile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <unistd.h>

namespace
{
const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

// The code and message of the exception the operation throws.
QString Failure_Of(const std::function<void()>& operation)
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
} // namespace

class TXmlFileTest : public QObject
{
    Q_OBJECT

private slots:
    void Failure_Messages();
    void Save_data();
    void Save();
    void Failed_Save_Keeps_Old_File_data();
    void Failed_Save_Keeps_Old_File();

private:
    QTemporaryDir dir;
};

// One failure of each kind; the code is 0 only when the file itself cannot be opened.
void TXmlFileTest::Failure_Messages()
{
    TXmlFile x;
    x.Open_Data("<Root><Entry><Description/><Checksum/></Entry></Root>", "Root", nullptr, true);
    QDomElement entry = x.root_element.firstChildElement();
    QDomElement description = entry.firstChildElement();

    // A file name holding "%2" must not take in the text of another placeholder.
    x.file_name = dir.filePath("missing %2.xml");
    QCOMPARE(Failure_Of([&] { x.Open_File("Root", nullptr, true); }),
             "0 ERR:  Cannot open file '" + x.file_name + "' for reading.");
    QCOMPARE(Failure_Of([&] { x.Read_Node_Text(&description, false); }),
             "1 ERR:  Node Text for 'Description' is not optional.");
    QCOMPARE(Failure_Of([&] { x.Get_Child_Element(&entry, "Gone", false); }),
             "1 ERR:  Node 'Gone' is missing from node 'Entry' and not optional.");
    QCOMPARE(Failure_Of([&] { x.Get_Sibling_Element(&description, "Entry", false); }),
             "1 ERR:  Node 'Entry' is missing from node 'Description' and not optional.");
    QCOMPARE(Failure_Of([&] { x.Write_Node_Data(&entry, "a\u0001%1b"); }),
             "1 ERR:  Cannot write node 'Entry' with data 'a\u0001%1b'");
    QCOMPARE(Failure_Of([&] { x.Create_Child_Element(&entry, ""); }),
             "1 ERR:  Cannot create an unnamed node");
}

void TXmlFileTest::Save_data()
{
    QTest::addColumn<bool>("compact");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("indented") << false << Declaration + "\n<Id File_Version=\"1\"/>\n";
    QTest::newRow("compact") << true << Declaration + "<Id File_Version=\"1\"/>";
}

void TXmlFileTest::Save()
{
    QFETCH(bool, compact);
    QFETCH(QByteArray, expected);

    TXmlFile xml_file;
    xml_file.file_name = dir.filePath("saved.xml");
    xml_file.Create_Document("Id", 1);
    QByteArray data("old");
    xml_file.Save_Data(&data, compact);
    QCOMPARE(data, expected);
    xml_file.Save_File(compact);
    QCOMPARE(Test_Support::Read_File(xml_file.file_name), expected);
}

void TXmlFileTest::Failed_Save_Keeps_Old_File_data()
{
    QTest::addColumn<int>("size"); // of the text written while files may grow to 512 bytes only
    QTest::addColumn<bool>("read_only");

    // Qt buffers a small write and fails in the final flush; a large one fails in the write itself.
    QTest::newRow("disk full in flush") << 1000 << false;
    QTest::newRow("disk full in write") << 100000 << false;
    QTest::newRow("read-only file") << 0 << true;
}

void TXmlFileTest::Failed_Save_Keeps_Old_File()
{
    QFETCH(int, size);
    QFETCH(bool, read_only);

    if (read_only && geteuid() == 0)
    {
        QSKIP("root writes through file permissions; run the suite as an unprivileged user");
    }
    QTemporaryDir save_dir;
    TXmlFile xml_file;
    xml_file.file_name = save_dir.filePath("a %2.xml");
    const QByteArray previous(500, 'x'); // longer than the new file
    QVERIFY(Test_Support::Write_File(xml_file.file_name, previous));
    QVERIFY(!read_only || QFile::setPermissions(xml_file.file_name, QFile::ReadOwner));
    xml_file.Create_Document("Id", 1);
    xml_file.Write_Node_Data(&xml_file.root_element, QString(size, 'x'));

    QString failure;
    Test_Support::With_File_Size_Limit(512,
                                       [&] { failure = Failure_Of([&] { xml_file.Save_File(false); }); });
    const QString expected = read_only ? "0 ERR:  Cannot open file '" + xml_file.file_name + "' for writing"
                                       : "1 ERR:  Cannot write file '" + xml_file.file_name + "'.  Reason: ";
    // The reason is the system's own text.
    QVERIFY2(read_only ? failure == expected
                       : failure.startsWith(expected) && failure.size() > expected.size(),
             qPrintable(failure));
    QCOMPARE(Test_Support::Read_File(xml_file.file_name), previous);
    QCOMPARE(QDir(save_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a %2.xml"});
}

QTEST_GUILESS_MAIN(TXmlFileTest)

#include "tst_xmlfile.moc"
