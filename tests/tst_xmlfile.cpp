#include "xmlfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

// The file is written with the platform's line ends; the expectations are written with "\n".
QByteArray Platform_Lines(QByteArray text)
{
#ifdef Q_OS_WIN
    text.replace("\n", "\r\n");
#endif
    return text;
}

TXmlFileException Failure_Of(const std::function<void()>& operation)
{
    try
    {
        operation();
    }
    catch (const TXmlFileException& exception)
    {
        return exception;
    }
    return TXmlFileException(QStringLiteral("(no exception)"), -1);
}

QByteArray Read_Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool Write_Bytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

const QByteArray Tree = "<Root File_Version=\"1\">"
                        "<Entries>"
                        "<Entry><Description>Probe 7</Description><Checksum>0a0e</Checksum></Entry>"
                        "<Other/>"
                        "<Entry><Description/></Entry>"
                        "</Entries>"
                        "<Empty/>"
                        "<Blank>  \t </Blank>"
                        "<Commented><!-- note -->text</Commented>"
                        "<Mixed>first<Child/>second</Mixed>"
                        "<Spaced> a b </Spaced>"
                        "<Cdata><![CDATA[x < y]]></Cdata>"
                        "<Attributed Present=\"\" Value=\"5\"/>"
                        "</Root>";

// Makes the next write beyond a file size fail with EFBIG instead of killing the process.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_limit);
        old_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_limit;
        limit.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_limit);
        std::signal(SIGXFSZ, old_handler);
    }
    bool active = false;

private:
    rlimit old_limit{};
    void (*old_handler)(int) = nullptr;
};

// The last element of that name in the tree, or a null element for an empty tag.
QDomElement Last_Element(const TXmlFile& xml_file, const QString& tag)
{
    const QDomNodeList found = xml_file.document.elementsByTagName(tag);
    return found.item(found.count() - 1).toElement();
}

QString Describe(const QDomNode& node)
{
    return node.isNull() ? QStringLiteral("(null)") : node.nodeName() + "=" + node.toElement().text();
}

enum TNodeOperation
{
    Read_Text,
    Read_Attribute,
    Find_Child,
    Find_Sibling,
    Find_First_Node,
    Find_Sibling_Node,
    Create_Child,
    Create_Child_And_Write,
    Write_Text,
    Write_Attribute
};

} // namespace

Q_DECLARE_METATYPE(TNodeOperation)

class TXmlFileTest : public QObject
{
    Q_OBJECT

private slots:
    void Open_Failures_data();
    void Open_Failures();
    void Open_Accepts_data();
    void Open_Accepts();
    void Save_Envelope_data();
    void Save_Envelope();
    void Save_Failures();
    void Save_Over_Read_Only_File();
    void Failed_Write_Keeps_Old_File_data();
    void Failed_Write_Keeps_Old_File();
    void Save_Keeps_Permissions();
    void Node_Reads_data();
    void Node_Reads();
    void Node_Writes_data();
    void Node_Writes();
    void Walk_Entries();
    void Write_Formats_data();
    void Write_Formats();

private:
    QTemporaryDir dir;
};

void TXmlFileTest::Open_Failures_data()
{
    QTest::addColumn<bool>("from_file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("want_version");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("code");

    QTest::newRow("missing file") << true << QByteArray() << true
                                  << "ERR:  Cannot open file '%1' for reading." << 0;
    // Content "/" puts a directory where the file is expected: readable, yet it cannot be opened.
    QTest::newRow("directory") << true << QByteArray("/") << true
                               << "ERR:  Cannot open file: '%1'.  Reason: file to open is a directory" << 0;
    QTest::newRow("file not XML") << true << QByteArray("not xml") << true
                                  << "ERR:  Reference file XML parse error at line 1 column 1: "
                                     "error occurred while parsing element"
                                  << 1;
    QTest::newRow("data unclosed") << false << QByteArray("<A>\n<B></A>") << true
                                   << "ERR:  Reference data XML parse error at line 2 column 7: "
                                      "tag mismatch"
                                   << 1;
    QTest::newRow("case differs") << true << QByteArray("<thermometer_Calibration_Data File_Version=\"1\"/>")
                                  << false
                                  << "ERR:  Identification 'Thermometer_Calibration_Data' does not match "
                                     "'thermometer_Calibration_Data'"
                                  << 1;
    QTest::newRow("no version") << false << QByteArray("<Thermometer_Calibration_Data/>") << true
                                << "ERR:  The 'File_Version' attribute is missing." << 1;
}

void TXmlFileTest::Open_Failures()
{
    QFETCH(bool, from_file);
    QFETCH(QByteArray, content);
    QFETCH(bool, want_version);
    QFETCH(QString, message);
    QFETCH(int, code);

    TXmlFile xml_file;
    xml_file.file_name = dir.filePath(QStringLiteral("open %1.xml").arg(QTest::currentDataTag()));
    if (content == "/")
    {
        QVERIFY(QDir(dir.path()).mkdir(xml_file.file_name));
    }
    else if (!content.isNull())
    {
        QVERIFY(Write_Bytes(xml_file.file_name, content));
    }
    int version = -1;
    const TXmlFileException failure = Failure_Of(
        [&]
        {
            if (from_file)
            {
                xml_file.Open_File(QStringLiteral("Thermometer_Calibration_Data"),
                                   want_version ? &version : nullptr, true);
            }
            else
            {
                xml_file.Open_Data(content, QStringLiteral("Thermometer_Calibration_Data"),
                                   want_version ? &version : nullptr, false);
            }
        });
    QCOMPARE(failure.message,
             message.contains(QLatin1String("%1")) ? message.arg(xml_file.file_name) : message);
    QCOMPARE(failure.code, code);
    QCOMPARE(version, -1);
}

void TXmlFileTest::Open_Accepts_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("want_version");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("doc_type_name");

    QTest::newRow("version 7") << QByteArray("<Id File_Version=\"7\"/>") << true << 7 << QString();
    QTest::newRow("version not a number")
        << QByteArray("<Id File_Version=\"x1\"/>") << true << 0 << QString();
    QTest::newRow("version not asked") << QByteArray("<Id/>") << false << -1 << QString();
    QTest::newRow("document type") << QByteArray("<!DOCTYPE Other>\n<Id File_Version=\"2\"/>") << true << 2
                                   << "Other";
}

void TXmlFileTest::Open_Accepts()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, want_version);
    QFETCH(int, version);
    QFETCH(QString, doc_type_name);

    TXmlFile xml_file;
    xml_file.file_name = dir.filePath(QStringLiteral("accept.xml"));
    QVERIFY(Write_Bytes(xml_file.file_name, content));
    int read_version = -1;
    xml_file.Open_File(QStringLiteral("Id"), want_version ? &read_version : nullptr, false);
    QCOMPARE(read_version, version);
    QCOMPARE(xml_file.identification, QStringLiteral("Id"));
    QCOMPARE(xml_file.doc_type_name, doc_type_name);
    QCOMPARE(xml_file.root_element.tagName(), QStringLiteral("Id"));
}

void TXmlFileTest::Save_Envelope_data()
{
    QTest::addColumn<bool>("compact");
    QTest::addColumn<bool>("with_content");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty document") << false << false
                                    << Declaration + "\n<Thermometer_Calibration_Data File_Version=\"1\"/>\n";
    QTest::newRow("empty document, compact")
        << true << false << Declaration + "<Thermometer_Calibration_Data File_Version=\"1\"/>";
    QTest::newRow("tree") << false << true
                          << Declaration +
                                 "\n<Thermometer_Calibration_Data File_Version=\"1\">\n"
                                 "    <Calibration_Entries>\n"
                                 "        <Entry>\n"
                                 "            <Description>Sonde \xc3\xa9 &lt;1&amp;2></Description>\n"
                                 "            <Note>two\nlines</Note>\n"
                                 "        </Entry>\n"
                                 "        <Empty/>\n"
                                 "    </Calibration_Entries>\n"
                                 "</Thermometer_Calibration_Data>\n";
    QTest::newRow("tree, compact") << true << true
                                   << Declaration + "<Thermometer_Calibration_Data File_Version=\"1\">"
                                                    "<Calibration_Entries><Entry>"
                                                    "<Description>Sonde \xc3\xa9 &lt;1&amp;2></Description>"
                                                    "<Note>twolines</Note>"
                                                    "</Entry><Empty/></Calibration_Entries>"
                                                    "</Thermometer_Calibration_Data>";
}

void TXmlFileTest::Save_Envelope()
{
    QFETCH(bool, compact);
    QFETCH(bool, with_content);
    QFETCH(QByteArray, expected);

    TXmlFile xml_file;
    xml_file.file_name = dir.filePath(QStringLiteral("envelope.xml"));
    QVERIFY(Write_Bytes(xml_file.file_name, QByteArray(5000, 'x'))); // an older, longer file
    xml_file.Create_Document(QStringLiteral("Thermometer_Calibration_Data"), 1);
    if (with_content)
    {
        QDomElement entries = xml_file.Create_Child_Element(&xml_file.root_element, "Calibration_Entries");
        QDomElement entry = xml_file.Create_Child_Element(&entries, "Entry");
        QDomElement description = xml_file.Create_Child_Element(&entry, "Description");
        xml_file.Write_Node_Data(&description, QStringLiteral("Sonde \u00e9 <1&2>"));
        QDomElement note = xml_file.Create_Child_Element(&entry, "Note");
        xml_file.Write_Node_Data(&note, QStringLiteral("two\nlines"));
        xml_file.Create_Child_Element(&entries, "Empty");
    }
    xml_file.Save_File(compact);
    QCOMPARE(Read_Bytes(xml_file.file_name), compact ? expected : Platform_Lines(expected));
    QByteArray data("old");
    xml_file.Save_Data(&data, compact);
    QCOMPARE(data, expected);

    // What was written reads back as the same tree (the parser rewrites the declaration's quotes).
    TXmlFile reread;
    reread.file_name = xml_file.file_name;
    int version = 0;
    reread.Open_File(QStringLiteral("Thermometer_Calibration_Data"), &version, true);
    QCOMPARE(version, 1);
    reread.Save_Data(&data, compact);
    QCOMPARE(data.mid(Declaration.size()), expected.mid(Declaration.size()));
}

void TXmlFileTest::Save_Failures()
{
    TXmlFile xml_file;
    xml_file.Create_Document(QStringLiteral("Id"), 1);
    xml_file.file_name = dir.filePath(QStringLiteral("missing %2/file.xml"));
    const TXmlFileException failure = Failure_Of([&] { xml_file.Save_File(false); });
    const QString prefix = QStringLiteral("ERR:  Cannot write file '%1'.  Reason: ").arg(xml_file.file_name);
    QVERIFY2(failure.message.startsWith(prefix), qPrintable(failure.message));
    QVERIFY(failure.message.size() > prefix.size());
    QCOMPARE(failure.code, 1);

    // A document type instead of a declaration: UTF-8 all the same, and no declaration line.
    xml_file.Create_Document(QStringLiteral("Kind"), QStringLiteral("Id"), 3);
    QByteArray data;
    xml_file.Save_Data(&data, false);
    QCOMPARE(data, QByteArray("<!DOCTYPE Kind>\n<Id File_Version=\"3\"/>\n"));
}

void TXmlFileTest::Save_Over_Read_Only_File()
{
    if (geteuid() == 0)
    {
        QSKIP("root writes through file permissions; run the suite as an unprivileged user");
    }
    TXmlFile xml_file;
    xml_file.file_name = dir.filePath(QStringLiteral("read-only.xml"));
    QVERIFY(Write_Bytes(xml_file.file_name, "previous content"));
    QVERIFY(QFile::setPermissions(xml_file.file_name, QFile::ReadOwner | QFile::ReadGroup));
    xml_file.Create_Document(QStringLiteral("Id"), 1);
    const TXmlFileException failure = Failure_Of([&] { xml_file.Save_File(false); });
    QCOMPARE(failure.message,
             QStringLiteral("ERR:  Cannot open file '%1' for writing").arg(xml_file.file_name));
    QCOMPARE(failure.code, 0);
    QCOMPARE(Read_Bytes(xml_file.file_name), QByteArray("previous content"));
}

void TXmlFileTest::Failed_Write_Keeps_Old_File_data()
{
    QTest::addColumn<int>("entries");
    // Qt buffers small writes and only fails in the final flush; large ones fail in the write itself.
    QTest::newRow("fails in flush") << 40;
    QTest::newRow("fails in write") << 4000;
}

void TXmlFileTest::Failed_Write_Keeps_Old_File()
{
    QFETCH(int, entries);

    QTemporaryDir save_dir;
    TXmlFile xml_file;
    xml_file.file_name = save_dir.filePath(QStringLiteral("calibration_data.xml"));
    const QByteArray previous = Platform_Lines(Declaration + "\n<Id File_Version=\"1\"/>\n");
    QVERIFY(Write_Bytes(xml_file.file_name, previous));

    xml_file.Create_Document(QStringLiteral("Id"), 1);
    for (int index = 0; index < entries; ++index)
    {
        QDomElement entry = xml_file.Create_Child_Element(&xml_file.root_element, "Entry");
        xml_file.Write_Node_Data(&entry, index);
    }
    TXmlFileException failure(QString(), -1);
    {
        const TFileSizeLimit limit(512);
        QVERIFY(limit.active);
        failure = Failure_Of([&] { xml_file.Save_File(false); });
    }
    QVERIFY2(failure.message.startsWith(
                 QStringLiteral("ERR:  Cannot write file '%1'.  Reason: ").arg(xml_file.file_name)),
             qPrintable(failure.message));
    QCOMPARE(failure.code, 1);
    QCOMPARE(Read_Bytes(xml_file.file_name), previous);
    QCOMPARE(QDir(save_dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("calibration_data.xml")});
}

void TXmlFileTest::Save_Keeps_Permissions()
{
    TXmlFile xml_file;
    xml_file.file_name = dir.filePath(QStringLiteral("permissions.xml"));
    QVERIFY(Write_Bytes(xml_file.file_name, "old"));
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(xml_file.file_name, permissions));
    xml_file.Create_Document(QStringLiteral("Id"), 1);
    xml_file.Save_File(true);
    QCOMPARE(QFile::permissions(xml_file.file_name) & 0x7077, permissions);
    QCOMPARE(Read_Bytes(xml_file.file_name), Declaration + "<Id File_Version=\"1\"/>");
}

void TXmlFileTest::Node_Reads_data()
{
    QTest::addColumn<TNodeOperation>("operation");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<bool>("as_node");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("optional");
    QTest::addColumn<QString>("expected");

    const QString no_text = QStringLiteral("ERR:  Node Text for '%1' is not optional.");
    const QString missing = QStringLiteral("ERR:  Node '%1' is missing from node '%2' and not optional.");
    const QString no_nodes =
        QStringLiteral("ERR:  Parent '%1' does not have nodes and they are not optional.");
    const QString no_siblings =
        QStringLiteral("ERR:  Node '%1' does not have siblings and they are not optional.");
    const QString null_text = QStringLiteral("ERR:  Cannot read data from a NULL node");

    QTest::newRow("text") << Read_Text << "Checksum" << false << "" << false << "0a0e";
    QTest::newRow("text, empty") << Read_Text << "Description" << false << "" << false
                                 << no_text.arg("Description");
    QTest::newRow("text, empty, optional") << Read_Text << "Description" << false << "" << true << "";
    QTest::newRow("text, blanks") << Read_Text << "Blank" << false << "" << false << no_text.arg("Blank");
    QTest::newRow("text, comment first")
        << Read_Text << "Commented" << false << "" << false << no_text.arg("Commented");
    QTest::newRow("text, first piece only") << Read_Text << "Mixed" << false << "" << false << "first";
    QTest::newRow("text, not trimmed") << Read_Text << "Spaced" << false << "" << false << " a b ";
    QTest::newRow("text, cdata") << Read_Text << "Cdata" << true << "" << false << "x < y";
    QTest::newRow("text, node form") << Read_Text << "Empty" << true << "" << false << no_text.arg("Empty");
    QTest::newRow("text, null") << Read_Text << "" << false << "" << true << null_text;
    QTest::newRow("text, null node") << Read_Text << "" << true << "" << true << null_text;
    QTest::newRow("attribute, empty value")
        << Read_Attribute << "Attributed" << false << "Present" << false << "";
    QTest::newRow("attribute, node form")
        << Read_Attribute << "Attributed" << true << "Value" << false << "5";
    QTest::newRow("attribute, optional") << Read_Attribute << "Attributed" << true << "Other" << true << "";
    QTest::newRow("attribute, missing") << Read_Attribute << "Attributed" << false << "Other" << false
                                        << "ERR:  Node attribute 'Other' missing and not optional.";
    QTest::newRow("attribute, missing, node form")
        << Read_Attribute << "Empty" << true << "Value" << false
        << "ERR:  Node attribute 'Value' missing and not optional.";
    QTest::newRow("attribute, null") << Read_Attribute << "" << true << "Value" << true
                                     << "ERR:  Cannot read attribute from a NULL node";
    QTest::newRow("child, any name") << Find_Child << "Entries" << false << "" << false
                                     << "Entry=Probe 70a0e";
    QTest::newRow("child, optional") << Find_Child << "Entry" << true << "Checksum" << true << "(null)";
    QTest::newRow("child, missing") << Find_Child << "Entry" << false << "Checksum" << false
                                    << missing.arg("Checksum", "Entry");
    QTest::newRow("child, missing, node form")
        << Find_Child << "Entries" << true << "Gone" << false << missing.arg("Gone", "Entries");
    QTest::newRow("child, null") << Find_Child << "" << true << "Entry" << true
                                 << "ERR:  Cannot get child from a NULL node";
    QTest::newRow("sibling") << Find_Sibling << "Other" << false << "Entry" << false << "Entry=";
    QTest::newRow("sibling, after the last")
        << Find_Sibling << "Entry" << false << "Entry" << true << "(null)";
    QTest::newRow("sibling, missing")
        << Find_Sibling << "Entry" << false << "Entry" << false << missing.arg("Entry", "Entry");
    QTest::newRow("sibling, null") << Find_Sibling << "" << false << "Entry" << true
                                   << "ERR:  Cannot get sibling from a NULL node";
    QTest::newRow("first node, comment")
        << Find_First_Node << "Commented" << false << "" << false << "#comment=";
    QTest::newRow("first node, none")
        << Find_First_Node << "Empty" << false << "" << false << no_nodes.arg("Empty");
    QTest::newRow("first node, node form")
        << Find_First_Node << "Empty" << true << "" << false << no_nodes.arg("Empty");
    QTest::newRow("first node, null") << Find_First_Node << "" << true << "" << true << "(null)";
    QTest::newRow("first node, null, required")
        << Find_First_Node << "" << true << "" << false << no_nodes.arg("");
    QTest::newRow("sibling node") << Find_Sibling_Node << "Empty" << true << "" << false << "Blank=";
    QTest::newRow("sibling node, none")
        << Find_Sibling_Node << "Attributed" << true << "" << false << no_siblings.arg("Attributed");
    QTest::newRow("sibling node, null") << Find_Sibling_Node << "" << true << "" << true << "(null)";
    QTest::newRow("sibling node, null, required")
        << Find_Sibling_Node << "" << true << "" << false << no_siblings.arg("");
}

void TXmlFileTest::Node_Reads()
{
    QFETCH(TNodeOperation, operation);
    QFETCH(QString, tag);
    QFETCH(bool, as_node);
    QFETCH(QString, name);
    QFETCH(bool, optional);
    QFETCH(QString, expected);

    // With namespace processing, so that the node forms have local names to report.
    TXmlFile xml_file;
    xml_file.Open_Data(Tree, QStringLiteral("Root"), nullptr, true);
    QByteArray before;
    xml_file.Save_Data(&before, true);
    const QDomElement element = Last_Element(xml_file, tag);
    const QDomNode node = element;

    QString result;
    const TXmlFileException failure = Failure_Of(
        [&]
        {
            switch (operation)
            {
            case Read_Text:
                result = as_node ? xml_file.Read_Node_Text(&node, optional)
                                 : xml_file.Read_Node_Text(&element, optional);
                break;
            case Read_Attribute:
                result = as_node ? xml_file.Read_Node_Attribute(&node, name, optional)
                                 : xml_file.Read_Node_Attribute(&element, name, optional);
                break;
            case Find_Child:
                result = Describe(as_node ? xml_file.Get_Child_Element(&node, name, optional)
                                          : xml_file.Get_Child_Element(&element, name, optional));
                break;
            case Find_Sibling:
                result = Describe(xml_file.Get_Sibling_Element(&element, name, optional));
                break;
            case Find_First_Node:
                result = Describe(as_node ? xml_file.Get_First_Child_Node(&node, optional)
                                          : xml_file.Get_First_Child_Node(&element, optional));
                break;
            default:
                result = Describe(xml_file.Get_Sibling_Node(&node, optional));
            }
        });
    if (expected.startsWith(QLatin1String("ERR:")))
    {
        QCOMPARE(failure.message, expected);
        QCOMPARE(failure.code, 1);
    }
    else
    {
        QCOMPARE(failure.message, QStringLiteral("(no exception)"));
        QCOMPARE(result, expected);
    }
    QByteArray after;
    xml_file.Save_Data(&after, true);
    QCOMPARE(after, before);
}

void TXmlFileTest::Node_Writes_data()
{
    QTest::addColumn<TNodeOperation>("operation");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("create unnamed") << Create_Child << "Root"
                                    << ""
                                    << "ERR:  Cannot create an unnamed node";
    QTest::newRow("create in null") << Create_Child << ""
                                    << "Entry"
                                    << "ERR:  Cannot create node from a NULL node";
    QTest::newRow("invalid name") << Create_Child << "Root"
                                  << "1 bad"
                                  << "";
    QTest::newRow("write into invalid name") << Create_Child_And_Write << "Root"
                                             << "1 bad"
                                             << "ERR:  Cannot append data to a NULL node";
    QTest::newRow("write into null") << Write_Text << ""
                                     << "x"
                                     << "ERR:  Cannot append data to a NULL node";
    QTest::newRow("refused character")
        << Write_Text << "Empty" << QStringLiteral("a\u0001%1b")
        << QStringLiteral("ERR:  Cannot write node 'Empty' with data 'a\u0001%1b'");
    QTest::newRow("unnamed attribute") << Write_Attribute << "Empty"
                                       << ""
                                       << "ERR:  Cannot create an unnamed attribute";
    QTest::newRow("attribute of null") << Write_Attribute << ""
                                       << "Name"
                                       << "";
}

// Every failing write, and the creation of an invalidly named element, leaves the tree as it was.
void TXmlFileTest::Node_Writes()
{
    QFETCH(TNodeOperation, operation);
    QFETCH(QString, tag);
    QFETCH(QString, text);
    QFETCH(QString, message);

    TXmlFile xml_file;
    xml_file.Open_Data(Tree, QStringLiteral("Root"), nullptr, false);
    QByteArray before;
    xml_file.Save_Data(&before, true);
    QDomElement element = Last_Element(xml_file, tag);

    const TXmlFileException failure = Failure_Of(
        [&]
        {
            QDomElement created;
            switch (operation)
            {
            case Create_Child_And_Write:
                created = xml_file.Create_Child_Element(&element, text);
                QVERIFY(created.isNull());
                xml_file.Write_Node_Data(&created, 1);
                break;
            case Create_Child:
                QVERIFY(xml_file.Create_Child_Element(&element, text).isNull());
                break;
            case Write_Text:
                xml_file.Write_Node_Data(&element, text);
                break;
            default:
                xml_file.Write_Node_Attribute(&element, text, 1.5, 2);
            }
        });
    QCOMPARE(failure.message, message.isEmpty() ? QStringLiteral("(no exception)") : message);
    QCOMPARE(failure.code, message.isEmpty() ? -1 : 1);
    QByteArray after;
    xml_file.Save_Data(&after, true);
    QCOMPARE(after, before);
}

// The way a loader walks a list: the first entry, then following entries of that name only.
void TXmlFileTest::Walk_Entries()
{
    TXmlFile xml_file;
    xml_file.Open_Data(Tree, QStringLiteral("Root"), nullptr, false);
    const QDomElement entries = xml_file.Get_Child_Element(&xml_file.root_element, "Entries", false);
    QStringList descriptions;
    for (QDomElement entry = xml_file.Get_Child_Element(&entries, "Entry", true); !entry.isNull();
         entry = xml_file.Get_Sibling_Element(&entry, "Entry", true))
    {
        const QDomElement description = xml_file.Get_Child_Element(&entry, "Description", false);
        descriptions << xml_file.Read_Node_Text(&description, true);
    }
    QCOMPARE(descriptions, (QStringList{"Probe 7", ""}));
}

void TXmlFileTest::Write_Formats_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("precision");
    QTest::addColumn<QString>("text");

    QTest::newRow("1.5, 5 decimals") << QVariant(1.5) << 5 << "1.50000";
    QTest::newRow("-0.25, 2 decimals") << QVariant(-0.25) << 2 << "-0.25";
    QTest::newRow("2.0, no decimals") << QVariant(2.0) << 0 << "2";
    QTest::newRow("no grouping") << QVariant(1234567.125) << 3 << "1234567.125";
    QTest::newRow("integer") << QVariant(42) << 0 << "42";
    QTest::newRow("negative integer") << QVariant(-7) << 0 << "-7";
    QTest::newRow("text") << QVariant(QString("50% <&>")) << 0 << "50% <&>";
}

void TXmlFileTest::Write_Formats()
{
    QFETCH(QVariant, value);
    QFETCH(int, precision);
    QFETCH(QString, text);

    TXmlFile xml_file;
    xml_file.Create_Document(QStringLiteral("Id"), 1);
    QDomElement element = xml_file.Create_Child_Element(&xml_file.root_element, "Value");
    xml_file.Write_Node_Attribute(&element, "Attribute", QStringLiteral("replaced"));
    if (value.type() == QVariant::Double)
    {
        xml_file.Write_Node_Data(&element, value.toDouble(), precision);
        xml_file.Write_Node_Attribute(&element, "Attribute", value.toDouble(), precision);
    }
    else if (value.type() == QVariant::Int)
    {
        xml_file.Write_Node_Data(&element, value.toInt());
        xml_file.Write_Node_Attribute(&element, "Attribute", value.toInt());
    }
    else
    {
        xml_file.Write_Node_Data(&element, value.toString());
        xml_file.Write_Node_Attribute(&element, "Attribute", value.toString());
    }
    // Text already there stays: a second write, even an empty one, adds a second text node.
    xml_file.Write_Node_Data(&element, QString());
    QCOMPARE(element.childNodes().count(), 2);
    QCOMPARE(xml_file.Read_Node_Text(&element, false), text);
    QCOMPARE(element.attribute("Attribute"), text);
}

QTEST_GUILESS_MAIN(TXmlFileTest)

#include "tst_xmlfile.moc"
