#include "velmoratestsupport.h"
#include "xmlfile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <unistd.h>

namespace
{
const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

const QByteArray Tree = "<Root File_Version=\"1\"><Entry><Description/><Checksum>0a0e</Checksum></Entry>"
                        "<Blank> \t </Blank><Mixed>first<Child/>second</Mixed><Last Value=\"5\"/></Root>";

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

// An operation on the element e of file x with a name or text n and the optional flag o; the short
// type names keep one operation to a line.
using X = TXmlFile*;
using E = QDomElement*;
using N = const QString&;
using D = QDomNode*;
using TOperation = QString (*)(X x, E e, N n, bool o);

QString Open(X x, E, N, bool)
{
    int version = -1;
    x->Open_File(QStringLiteral("Id"), &version, true);
    return QStringLiteral("%1 %2").arg(QString::number(version), x->doc_type_name);
}

const TOperation Text = [](X x, E e, N, bool o) { return x->Read_Node_Text(e, o); };
const TOperation Text_Of_Node = [](X x, E e, N, bool o) { return x->Read_Node_Text(D(e), o); };
const TOperation Attribute = [](X x, E e, N n, bool o) { return x->Read_Node_Attribute(e, n, o); };
const TOperation Child = [](X x, E e, N n, bool o) { return x->Get_Child_Element(e, n, o).nodeName(); };
const TOperation Sibling = [](X x, E e, N n, bool o) { return x->Get_Sibling_Element(e, n, o).nodeName(); };
const TOperation First = [](X x, E e, N, bool o) { return x->Get_First_Child_Node(e, o).nodeName(); };
const TOperation First_Of_Node = [](X x, E e, N, bool o)
{ return x->Get_First_Child_Node(D(e), o).nodeName(); };
const TOperation Sibling_Node = [](X x, E e, N, bool o) { return x->Get_Sibling_Node(D(e), o).nodeName(); };
const TOperation Create = [](X x, E e, N n, bool) { return x->Create_Child_Element(e, n).nodeName(); };
const TOperation Write = [](X x, E e, N n, bool) { return x->Write_Node_Data(e, n), QString(); };
const TOperation Attribute_Write = [](X x, E e, N n, bool)
{ return x->Write_Node_Attribute(e, n, 1), QString(); };
// Writes the number n with the precision that follows the slash, or as an integer when there is none.
const TOperation Number = [](X x, E e, N n, bool)
{
    const QStringList parts = n.split('/');
    parts.size() > 1 ? x->Write_Node_Data(e, parts[0].toDouble(), parts[1].toInt())
                     : x->Write_Node_Data(e, n.toInt());
    return e->text();
};

const QString No_Text = "ERR:  Node Text for '%1' is not optional.";
const QString Missing = "ERR:  Node '%1' is missing from node '%2' and not optional.";
const QString No_Nodes = "ERR:  Parent '%1' does not have nodes and they are not optional.";

// Open takes the file's content as input (no file when empty), the others the tag of the element to
// work on (a null element when empty). The expected text is the message (%1: the file name) or, for
// code -1, the result.
const struct
{
    const char* tag;
    TOperation operation;
    QString input, name;
    bool optional;
    QString expected;
    int code;
} Rows[] = {
    {"missing file", Open, "", "", 0, "ERR:  Cannot open file '%1' for reading.", 0},
    {"not XML", Open, "not xml", "", 0,
     "ERR:  Reference file XML parse error at line 1 column 1: error occurred while parsing element", 1},
    {"identification case", Open, "<id File_Version=\"1\"/>", "", 0,
     "ERR:  Identification 'Id' does not match 'id'", 1},
    {"no File_Version", Open, "<Id/>", "", 0, "ERR:  The 'File_Version' attribute is missing.", 1},
    {"version no number", Open, "<!DOCTYPE Kind><Id File_Version=\"x1\"/>", "", 0, "0 Kind", -1},
    {"text, none", Text, "Description", "", 0, No_Text.arg("Description"), 1},
    {"text, none, optional", Text, "Description", "", 1, "", -1},
    {"text, blanks only", Text, "Blank", "", 0, No_Text.arg("Blank"), 1},
    {"text, first child only", Text, "Mixed", "", 0, "first", -1},
    {"text of node, none", Text_Of_Node, "Description", "", 0, No_Text.arg("Description"), 1},
    {"text, null", Text, "", "", 1, "ERR:  Cannot read data from a NULL node", 1},
    {"attribute, missing", Attribute, "Last", "X", 0, "ERR:  Node attribute 'X' missing and not optional.",
     1},
    {"attribute, optional", Attribute, "Last", "X", 1, "", -1},
    {"attribute, null", Attribute, "", "X", 1, "ERR:  Cannot read attribute from a NULL node", 1},
    {"child, missing", Child, "Entry", "Gone", 0, Missing.arg("Gone", "Entry"), 1},
    {"child, optional", Child, "Entry", "Gone", 1, "", -1},
    {"child, null", Child, "", "Entry", 1, "ERR:  Cannot get child from a NULL node", 1},
    {"sibling, missing", Sibling, "Entry", "Entry", 0, Missing.arg("Entry", "Entry"), 1},
    {"sibling, null", Sibling, "", "Entry", 1, "ERR:  Cannot get sibling from a NULL node", 1},
    {"first child, none", First, "Description", "", 0, No_Nodes.arg("Description"), 1},
    {"first child of node, none", First_Of_Node, "Description", "", 0, No_Nodes.arg("Description"), 1},
    {"sibling node", Sibling_Node, "Blank", "", 0, "Mixed", -1},
    {"sibling node, none", Sibling_Node, "Last", "", 0,
     "ERR:  Node 'Last' does not have siblings and they are not optional.", 1},
    {"create, null", Create, "", "Entry", 0, "ERR:  Cannot create node from a NULL node", 1},
    {"create, unnamed", Create, "Root", "", 0, "ERR:  Cannot create an unnamed node", 1},
    {"write, null", Write, "", "x", 0, "ERR:  Cannot append data to a NULL node", 1},
    {"write U+0001", Write, "Last", "a\u0001%1b", 0, "ERR:  Cannot write node 'Last' with data 'a\u0001%1b'",
     1},
    {"attribute, unnamed", Attribute_Write, "Last", "", 0, "ERR:  Cannot create an unnamed attribute", 1},
    {"1.5, 5 decimals", Number, "Blank", "1.5/5", 0, "1.50000", -1},
    {"-0.25, 2 decimals", Number, "Blank", "-0.25/2", 0, "-0.25", -1},
    {"2.0, no decimals", Number, "Blank", "2.0/0", 0, "2", -1},
    {"integer", Number, "Blank", "42", 0, "42", -1},
};

const QString Write_Error = "ERR:  Cannot write file '%1'.  Reason: ";

// The expected text is, for code -1, the file's content; else the message or, unless the file is
// read-only, its beginning. The text of the given size is written with files limited to 512 bytes.
const struct
{
    const char* tag;
    QString file;
    bool read_only;
    int size;
    bool compact;
    QString expected;
    int code;
} Save_Rows[] = {
    {"empty", "a %2.xml", 0, 0, 0, Declaration + "\n<Id File_Version=\"1\"/>\n", -1},
    {"empty, compact", "a %2.xml", 0, 0, 1, Declaration + "<Id File_Version=\"1\"/>", -1},
    {"missing directory", "missing %2/a.xml", 0, 0, 0, Write_Error, 1},
    {"read-only file", "a %2.xml", 1, 0, 0, "ERR:  Cannot open file '%1' for writing", 0},
    // Qt buffers a small write and fails in the final flush; a large one fails in the write itself.
    {"disk full in flush", "a %2.xml", 0, 1000, 0, Write_Error, 1},
    {"disk full in write", "a %2.xml", 0, 100000, 0, Write_Error, 1},
};
} // namespace

class TXmlFileTest : public QObject
{
    Q_OBJECT

private slots:
    void Operations_data();
    void Operations();
    void Save_data();
    void Save();

private:
    QTemporaryDir dir;
};

void TXmlFileTest::Operations_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(sizeof(Rows) / sizeof(Rows[0])); ++row)
    {
        QTest::newRow(Rows[row].tag) << row;
    }
}

void TXmlFileTest::Operations()
{
    QFETCH(int, row);
    const auto& [tag, operation, input, name, optional, expected, code] = Rows[row];
    Q_UNUSED(tag);

    TXmlFile xml_file;
    xml_file.file_name = dir.filePath(QStringLiteral("%1 %2.xml").arg(row));
    QVERIFY(operation != Open || input.isEmpty() ||
            Test_Support::Write_File(xml_file.file_name, input.toUtf8()));
    if (operation != Open)
    {
        // With namespace processing, as the loaders open files, so that nodes have local names.
        xml_file.Open_Data(Tree, QStringLiteral("Root"), nullptr, true);
    }
    QDomElement element = xml_file.document.elementsByTagName(input).item(0).toElement();

    QString result;
    const TXmlFileException failure =
        Failure_Of([&] { result = operation(&xml_file, &element, name, optional); });
    QCOMPARE(code < 0 ? result : failure.message,
             QString(expected).replace("%1", operation == Open ? xml_file.file_name : "%1"));
    QCOMPARE(failure.code, code);
}

void TXmlFileTest::Save_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(sizeof(Save_Rows) / sizeof(Save_Rows[0])); ++row)
    {
        QTest::newRow(Save_Rows[row].tag) << row;
    }
}

void TXmlFileTest::Save()
{
    QFETCH(int, row);
    const auto& [tag, file, read_only, size, compact, message, code] = Save_Rows[row];
    Q_UNUSED(tag);

    if (read_only && geteuid() == 0)
    {
        QSKIP("root writes through file permissions; run the suite as an unprivileged user");
    }
    QTemporaryDir save_dir;
    TXmlFile xml_file;
    xml_file.file_name = save_dir.filePath(file);
    const QString old_file = save_dir.filePath("a %2.xml");
    const QByteArray previous(500, 'x'); // longer than the new file
    QVERIFY(Test_Support::Write_File(old_file, previous));
    QVERIFY(!read_only || QFile::setPermissions(old_file, QFile::ReadOwner));

    xml_file.Create_Document(QStringLiteral("Id"), 1);
    QVERIFY(size == 0 || (xml_file.Write_Node_Data(&xml_file.root_element, QString(size, 'x')), true));
    TXmlFileException failure(QString(), 0);
    const auto save = [&]() { failure = Failure_Of([&] { xml_file.Save_File(compact); }); };
    size > 0 ? Test_Support::With_File_Size_Limit(512, save) : save();
    QCOMPARE(failure.code, code);
    const QString expected = QString(message).replace("%1", xml_file.file_name);
    if (code < 0)
    {
        QByteArray data("old");
        xml_file.Save_Data(&data, compact);
        QCOMPARE(data, expected.toUtf8());
        QCOMPARE(Test_Support::Read_File(xml_file.file_name), data);
        return;
    }
    QVERIFY2(read_only ? failure.message == expected
                       : failure.message.startsWith(expected) && failure.message.size() > expected.size(),
             qPrintable(failure.message));
    QCOMPARE(Test_Support::Read_File(old_file), previous);
    QCOMPARE(QDir(save_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a %2.xml"});
}

QTEST_GUILESS_MAIN(TXmlFileTest)

#include "tst_xmlfile.moc"
