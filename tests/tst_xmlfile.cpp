#include "calibrationtestsupport.h"
#include "dombuilder.h"
#include "xmlfile.h"
#include "xmlscreen.h"

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
    // Each failure is reported with its own message; the first ones leave the document as it was.
    void Failure_Messages()
    {
        TXmlFile xml;
        xml.Create_Document("Id", 1);
        xml.file_name = dir.filePath("missing %2.xml"); // "%1" and "%2" in texts stay as they are
        QCOMPARE(Failure_Of([&] { xml.Open_File("Id", nullptr, true); }),
                 "0 ERR:  Cannot open file '" + xml.file_name + "' for reading.");
        QCOMPARE(Failure_Of([&] { xml.Get_Child_Element(&xml.root_element, "Gone", false); }),
                 "1 ERR:  Node 'Gone' is missing from node 'Id' and not optional.");
        QCOMPARE(Failure_Of([&] { xml.Write_Node_Data(&xml.root_element, "a\u0001%1b"); }),
                 "1 ERR:  Cannot write node 'Id' with data 'a\u0001%1b'");
        QByteArray data("old");
        xml.Save_Data(&data, false);
        QCOMPARE(data, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Id File_Version=\"1\"/>\n");
        xml.Save_Data(&data, true);
        QCOMPARE(data, "<?xml version=\"1.0\" encoding=\"utf-8\"?><Id File_Version=\"1\"/>");

        QVERIFY(Write_File(xml.file_name, "<Id>"));
        QCOMPARE(Failure_Of([&] { xml.Open_File("Id", nullptr, true); }),
                 "1 ERR:  Reference file XML parse error at line 1 column 4: Premature end of document.");
        int version = 0;
        QCOMPARE(Failure_Of([&] { xml.Open_Data("<id File_Version='1'/>", "Id", &version, true); }),
                 "1 ERR:  Identification 'Id' does not match 'id'");
        QCOMPARE(Failure_Of([&] { xml.Open_Data("<Id/>", "Id", &version, true); }),
                 "1 ERR:  The 'File_Version' attribute is missing.");

        // A file far larger than any of ours, or a device, is refused before it is read.
        QFile huge(xml.file_name);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(Xml_Max_Document_Size + 1));
        huge.close();
        QCOMPARE(Failure_Of([&] { xml.Open_File("Id", nullptr, true); }),
                 "0 ERR:  Cannot open file: '" + xml.file_name + "'.  Reason: it is larger than 256 MB");
        QVERIFY(huge.remove());
        QVERIFY(QFile::link("/dev/zero", xml.file_name));
        QCOMPARE(Failure_Of([&] { xml.Open_File("Id", nullptr, true); }),
                 "0 ERR:  Cannot open file: '" + xml.file_name + "'.  Reason: it is not a regular file");
        QVERIFY(huge.remove());
    }

    // Each class of document that crashed, overflowed or flooded the parser, or was read wrongly, is a
    // load error with a reason and a place. Qt 5.15's own parser read past most of them and worded
    // every error differently: the same document is refused with the same words under either version.
    void Open_Refuses_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error"); // after "ERR:  Reference data XML parse error at line "

        const QByteArray deep = QByteArray("<a>").repeated(Xml_Max_Depth + 1);
        QTest::newRow("zero byte") << QByteArray("<Id>\n a\0b</Id>", 14)
                                   << "2 column 3: character U+0000 is not allowed in XML";
        QTest::newRow("U+FFFF in a comment") << QByteArray("<Id><!-- \xEF\xBF\xBF --></Id>")
                                             << "1 column 10: character U+FFFF is not allowed in XML";
        QTest::newRow("lone surrogate in UTF-16")
            << QByteArray("\xFF\xFE<\0I\0d\0>\0\x00\xD8<\0/\0I\0d\0>\0", 22)
            << "1 column 5: character U+D800 is not allowed in XML";
        for (const char* reference : {"&#1;", "&#xFFFE;", "&#xD800;", "&#x110000;", "&#x;", "&#12a;"})
        {
            QTest::newRow(reference)
                << QByteArray("<Id>ab") + reference + "</Id>"
                << QString("1 column 7: character reference %1 is not a character XML allows").arg(reference);
        }
        QTest::newRow("reference in an attribute")
            << QByteArray("<Id a='&#1;'/>")
            << "1 column 8: character reference &#1; is not a character XML allows";
        QTest::newRow("entity declaration")
            << QByteArray("<!DOCTYPE Id [<!ENTITY e \"xx\">]>\n<Id>&e;&e;</Id>")
            << "1 column 1: a document type declaration with declarations of its own (such as entities) "
               "is not accepted";
        QTest::newRow("undeclared entity")
            << QByteArray("<Id>&nbsp;</Id>")
            << "1 column 5: reference &nbsp; to an entity that is not declared";
        QTest::newRow("bare ampersand")
            << QByteArray("<Id>a & b</Id>")
            << "1 column 7: '&' starts no complete reference; a literal '&' is written &amp;";
        QTest::newRow("nested too deep")
            << deep << QString("1 column %1: elements are nested deeper than 32 levels").arg(deep.size() - 2);
        QTest::newRow("unknown encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"x-none\"?><Id/>")
                                          << "1 column 1: the encoding 'x-none' is not supported";
        QTest::newRow("invalid UTF-8")
            << QByteArray("<Id>\xc3</Id>") << "1 column 5: Encountered incorrectly encoded content.";
        QTest::newRow("encoded surrogate") << QByteArray("<Id>\n\xed\xa0\x80</Id>")
                                           << "2 column 1: Encountered incorrectly encoded content.";
        QTest::newRow("repeated attribute")
            << QByteArray("<Id a='1' a='2'/>") << "1 column 17: Attribute 'a' redefined.";
        // The parser's cost grows with the square of an element's attributes: 20,000 took 71 s.
        for (const int count : {Xml_Max_Attributes + 1, 20000})
        {
            QByteArray attributes;
            for (int index = 0; index < count; ++index)
            {
                attributes += " a" + QByteArray::number(index) + (index % 2 == 0 ? "='>'" : "=\"'\"");
            }
            QTest::addRow("%d attributes", count)
                << "<Id>\n  <E" + attributes + "/></Id>"
                << "2 column 3: an element with more than 8 attributes is not accepted";
        }
    }

    void Open_Refuses()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        TXmlFile xml;
        QCOMPARE(Failure_Of([&] { xml.Open_Data(content, "Id", nullptr, true); }),
                 "1 ERR:  Reference data XML parse error at line " + error);
    }

    // Legal documents the parser would have cut short or read wrongly, or read otherwise under the
    // other Qt version: all text under the root, the root's first child as text, the document's first
    // node and its type.
    void Open_Keeps_data()
    {
        QTest::addColumn<QByteArray>("prolog");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("first_text");
        QTest::addColumn<QString>("first_node");

        const QString emoji = QString::fromUcs4(U"P\U0001F321");
        QTest::newRow("emoji as a reference")
            << QByteArray() << QByteArray("P&#x1F321;") << emoji << emoji << "Id";
        // The parser read files in blocks of 1,024 bytes and dropped U+FEFF at the start of a block; the
        // text starts at byte 21.
        const QString feff = QString(1003, 'x') + QChar(0xFEFF) + "y";
        QTest::newRow("U+FEFF on 1,024 bytes")
            << QByteArray() << QByteArray(1003, 'x') + "\xEF\xBB\xBFy" << feff << feff << "Id";
        QTest::newRow("line ends") << QByteArray() << QByteArray("a\r\nb\rc") << "a\nb\nc"
                                   << "a\nb\nc"
                                   << "Id";
        QTest::newRow("blank text and CDATA")
            << QByteArray() << QByteArray("<b>x</b> \xC2\xA0 <c><![CDATA[ ]]></c>") << "x "
            << ""
            << "Id";
        QTest::newRow("comments first") << QByteArray("<!-- p -->\n<!DOCTYPE Id SYSTEM 'id.dtd'>")
                                        << QByteArray("<!-- c -->a<?p d?>b") << "ab"
                                        << ""
                                        << "#comment";
    }

    void Open_Keeps()
    {
        QFETCH(QByteArray, prolog);
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        QFETCH(QString, first_text);
        QFETCH(QString, first_node);
        TXmlFile xml;
        xml.file_name = dir.filePath("keeps.xml");
        QVERIFY(Write_File(xml.file_name, prolog + "<Id File_Version='7'>" + content + "</Id>"));
        int version = 0;
        QCOMPARE(Failure_Of([&] { xml.Open_File("Id", &version, true); }), "(no exception)");
        QCOMPARE(xml.root_element.text(), text);
        QCOMPARE(xml.Read_Node_Text(&xml.root_element, true), first_text);
        QCOMPARE(xml.document.firstChild().nodeName(), first_node);
        QCOMPARE(xml.doc_type_name, QString(prolog.contains("DOCTYPE") ? "Id" : ""));
        QCOMPARE(version, 7);
    }

    // Text the writer is given is saved byte for byte as QDomDocument::save saves it, in text, in an
    // attribute and beside an element, and comes back from the next parse unchanged; blank text is
    // dropped by the parser unless it is written as CDATA.
    void Written_Text_Reads_Back_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("doc_type");
        QTest::addColumn<int>("attributes"); // more than one are saved in the order of a hash
        QTest::newRow("emoji and markup") << QString::fromUcs4(U"\U0001F321 <&>]]>\"'") << "" << 1;
        QTest::newRow("blanks") << QString::fromUcs4(U" \t\n\u00A0\u2028\u3000\u0085") << "" << 1;
        QTest::newRow("empty") << ""
                               << "" << 1;
        QTest::newRow("line ends and tab") << "a\rb\r\n\tc\n"
                                           << "" << 1;
        QTest::newRow("document type") << "a]>]]]>>"
                                       << "Type" << 1;
        QTest::newRow("two attributes") << "a\r\"b"
                                        << "" << 2;
    }

    void Written_Text_Reads_Back()
    {
        QFETCH(QString, text);
        QFETCH(QString, doc_type);
        QFETCH(int, attributes);
        QString read_text;
        QString read_attribute;
        QCOMPARE(Failure_Of([&] {
                     TXmlFile xml;
                     doc_type.isEmpty() ? xml.Create_Document("Id", 1)
                                        : xml.Create_Document(doc_type, "Id", 1);
                     QDomElement element = xml.Create_Child_Element(&xml.root_element, "A");
                     xml.Write_Node_Data(&element, text);
                     element = xml.Create_Child_Element(&xml.root_element, "B");
                     xml.Write_Node_Attribute(&element, "v", text);
                     if (attributes > 1)
                     {
                         xml.Write_Node_Attribute(&element, "w", 2);
                     }
                     xml.Write_Node_Data(&element, text);
                     xml.Create_Child_Element(&element, "C");
                     QByteArray data;
                     for (const bool compact : {true, false})
                     {
                         xml.Save_Data(&data, compact);
                         QByteArray saved;
                         {
                             QTextStream stream(&saved, QIODevice::WriteOnly);
                             xml.document.save(stream, compact ? 0 : 4, QDomNode::EncodingFromDocument);
                         }
                         QCOMPARE(data, compact ? saved.replace("\n", "") : saved);
                     }
                     TXmlFile read;
                     read.Open_Data(data, "Id", nullptr, true);
                     QCOMPARE(read.doc_type_name, doc_type);
                     const QDomElement read_element = read.Get_Child_Element(&read.root_element, "A", false);
                     read_text = read.Read_Node_Text(&read_element, true);
                     const QDomNode next = read_element.nextSibling();
                     read_attribute = read.Read_Node_Attribute(&next, "v", false);
                 }),
                 "(no exception)");
        QCOMPARE(read_text, text);
        QCOMPARE(read_attribute, text);
    }

    // A writer of many entries makes each as it is written: the bytes must be those of the document
    // built whole, and the entries must be gone from it afterwards.
    void Streamed_Children_Written_As_Whole_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("compact");
        QTest::newRow("none") << 0 << false;
        QTest::newRow("one") << 1 << false;
        QTest::newRow("several, compact") << 3 << true;
        // More text than the writer turns into bytes at once.
        QTest::newRow("many") << 2000 << false;
    }

    void Streamed_Children_Written_As_Whole()
    {
        QFETCH(int, count);
        QFETCH(bool, compact);
        const auto fill = [](TXmlFile* xml, QDomElement* entry, int index) {
            QDomElement text = xml->Create_Child_Element(entry, "Text");
            xml->Write_Node_Data(&text,
                                 QString("Fühler <%1> & \"A\" ]]> ").arg(index).repeated(index % 7 + 1));
            QDomElement blank = xml->Create_Child_Element(entry, "Blank");
            xml->Write_Node_Data(&blank, QString(" "));
            xml->Create_Child_Element(entry, "Empty");
        };
        TXmlFile whole;
        whole.Create_Document("Id", 1);
        QDomElement parent = whole.Create_Child_Element(&whole.root_element, "Entries");
        for (int index = 0; index < count; ++index)
        {
            QDomElement entry = whole.Create_Child_Element(&parent, "Entry");
            fill(&whole, &entry, index);
        }
        whole.Create_Child_Element(&whole.root_element, "After");
        QByteArray expected;
        whole.Save_Data(&expected, compact);

        TXmlFile streamed;
        streamed.Create_Document("Id", 1);
        QDomElement streamed_parent = streamed.Create_Child_Element(&streamed.root_element, "Entries");
        streamed.Create_Child_Element(&streamed.root_element, "After");
        int next = 0;
        QByteArray data;
        streamed.Save_Data(&data, compact, streamed_parent, [&]() {
            if (next == count)
            {
                return false;
            }
            QDomElement entry = streamed.Create_Child_Element(&streamed_parent, "Entry");
            fill(&streamed, &entry, next++);
            return true;
        });
        QCOMPARE(data, expected);
        QVERIFY(!streamed_parent.hasChildNodes());
    }

    // A reader that takes each element as it is read keeps none of them in the document; an element
    // cut off by damage stays, marked incomplete.
    void Read_Elements_Are_Dropped_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("whole") << QByteArray(
                                      "<Id File_Version='1'><E>a</E><F/><E>b</E><E><![CDATA[ ]]></E></Id>")
                               << QStringList{"a", "b", " "} << false;
        QTest::newRow("cut off") << QByteArray("<Id File_Version='1'><E>a</E>\n<E>b</E><E>c")
                                 << QStringList{"a", "b"} << true;
    }

    void Read_Elements_Are_Dropped()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, taken);
        QFETCH(bool, damaged);
        TXmlFile xml;
        QStringList read;
        const QString failure = Failure_Of([&] {
            xml.Open_Data(content, "Id", nullptr, true, [&](const QDomElement& element, int depth) {
                if (depth != 2 || element.tagName() != "E")
                {
                    return false;
                }
                read << xml.Read_Node_Text(&element, true);
                return true;
            });
        });
        QCOMPARE(failure.startsWith("1 ERR:  Reference data XML parse error at line 2"), damaged);
        QCOMPARE(read, taken);
        const QDomElement left = xml.root_element.firstChildElement("E");
        QCOMPARE(left.isNull(), !damaged);
        QCOMPARE(xml.root_element.firstChildElement("F").isNull(), damaged);
        QCOMPARE(!xml.Is_Complete(left), damaged);
    }

    // The parser is given the text in pieces: wherever they end (within a name, a reference, text,
    // CDATA, a comment, a surrogate pair, before a U+FEFF, at and after the document element's end),
    // it builds the nodes, sees the elements and reports the error of the whole text.
    void Pieces_Read_As_Whole_data()
    {
        QTest::addColumn<QString>("text");
        const QString emoji = QString::fromUcs4(U"\U0001F321");
        const QString feff(QChar(0xFEFF));
        QTest::newRow("every kind of node")
            << QStringList{"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE Id>\n",
                           "<Id File_Version=\"1 &amp; 2\">\n <E>text &lt; more ",
                           emoji,
                           "</E>",
                           "<![CDATA[  x<y ]]><!-- comm<ent --><?pi data?>\n",
                           " <E>",
                           feff,
                           "a",
                           feff,
                           feff,
                           "</E><E/>  \n <E>  </E>\n</Id>\n<!-- after -->\n"}
                   .join(QString());
        QTest::newRow("U+FEFF first") << feff + "<Id>" + feff + "</Id>";
        QTest::newRow("text after the end") << "<Id><E>x</E></Id>garbage";
        QTest::newRow("element after the end") << "<Id><E>x</E></Id>\n<E/>";
        QTest::newRow("cut off") << "<Id><E>x</E><E>y<![CDATA[z";
        QTest::newRow("repeated attribute") << "<Id><E>x</E>\n<E a='1' a='2'/></Id>";
        QTest::newRow("mismatched end tag") << "<Id><E>x</F></Id>";
    }

    void Pieces_Read_As_Whole()
    {
        QFETCH(QString, text);
        // The nodes left in the document, the elements seen as they were read, and the outcome.
        const auto build = [&](int piece_size) {
            QDomDocument document;
            QString error;
            int line = 0;
            int column = 0;
            QVector<QDomElement> unfinished;
            QStringList seen;
            const bool built = Build_Dom_Document(
                &document, text, true, &error, &line, &column, &unfinished,
                [&](const QDomElement& element, int depth) {
                    seen << QString("%1/%2:%3").arg(depth).arg(element.tagName(), element.text());
                    return depth == 2 && element.text() == "x";
                },
                piece_size);
            QStringList open;
            for (const QDomElement& element : qAsConst(unfinished))
            {
                open << element.tagName();
            }
            return QStringList{document.toString(), seen.join(' '), open.join(' '),
                               QString("%1 %2:%3 %4").arg(built).arg(line).arg(column).arg(error)};
        };
        const QStringList whole = build(text.size());
        for (int piece_size = 1; piece_size < text.size(); ++piece_size)
        {
            const QStringList pieces = build(piece_size);
            QVERIFY2(pieces == whole, qPrintable(QString("pieces of %1:\n%2\nwhole:\n%3")
                                                     .arg(piece_size)
                                                     .arg(pieces.join('\n'), whole.join('\n'))));
        }
    }

    // The document is decoded and screened in pieces of bytes: wherever they end (within a character
    // of several bytes, a surrogate pair, a byte order mark, a reference, a tag, a comment), the text
    // given, the fault and its place are those of the whole document. What goes on from one piece to
    // the next (the decoder's state, markup cut off, the depth, the line) is all needed for that.
    void Decoded_Pieces_Read_As_Whole_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("fault"); // of the whole document, "" when accepted

        const auto utf16 = [](const QString& text, bool little_endian) {
            QByteArray bytes(little_endian ? "\xFF\xFE" : "\xFE\xFF");
            for (const QChar character : text)
            {
                const char low = char(character.unicode() & 0xFF);
                const char high = char(character.unicode() >> 8);
                bytes.append(little_endian ? low : high).append(little_endian ? high : low);
            }
            return bytes;
        };
        const QString emoji = QString::fromUcs4(U"\U0001F321");
        const QString document = "<Id a='Fühler &#x1F321;'>Grüße " + emoji +
                                 " €\n<E>x&amp;y&#xe4;</E><!-- c - -> -->\n<![CDATA[ <&> ]]><?p d?></Id>";
        QTest::newRow("UTF-8") << document.toUtf8() << "";
        QTest::newRow("U+FEFF after the mark")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF<Id>\xEF\xBB\xBFx\xEF\xBB\xBF</Id>") << "";
        QTest::newRow("UTF-16LE") << utf16(document, true) << "";
        QTest::newRow("UTF-16BE") << utf16(document, false) << "";
        QTest::newRow("declared Latin-1")
            << QByteArray("<?xml version='1.0' encoding='ISO-8859-1'?>\n<Id>\xE4\xF6\xFC</Id>") << "";
        QTest::newRow("document type") << QByteArray("<!DOCTYPE Id SYSTEM 'a>b'>\n<Id/>") << "";
        QTest::newRow("nested too deep")
            << "<Id>\n" + QByteArray("<a><b/></a>").repeated(3) + QByteArray("<a>").repeated(Xml_Max_Depth)
            << "2:127 elements are nested deeper than 32 levels";
        QTest::newRow("undeclared entity") << QByteArray("<Id>\n<E>ab</E>\n <E>&lt;&nbsp;</E></Id>")
                                           << "3:9 reference &nbsp; to an entity that is not declared";
        QTest::newRow("reference in an attribute")
            << QByteArray("<Id>\n<E a='&#x1F321;&amp;' b='&#1;'/></Id>")
            << "2:26 character reference &#1; is not a character XML allows";
        QTest::newRow("forbidden character")
            << QByteArray("<Id>\n<!-- a -->\x01</Id>") << "2:11 character U+0001 is not allowed in XML";
        QTest::newRow("forbidden character in a tag") << QByteArray("<Id>\n<E a='&#x1F321;\x02'/></Id>")
                                                      << "2:16 character U+0002 is not allowed in XML";
        QTest::newRow("lone surrogate in UTF-16") << utf16("<Id>\n" + emoji + QChar(0xD800) + "</Id>", true)
                                                  << "2:3 character U+D800 is not allowed in XML";
        QTest::newRow("too many attributes")
            << QByteArray("<Id>\n<E a='1' b='2' c='3' d='4' e='5' f='6' g='7' h='8' i='9'/></Id>")
            << "2:1 an element with more than 8 attributes is not accepted";
        QTest::newRow("declarations in the document type")
            << QByteArray("<?xml version='1.0'?>\n<!DOCTYPE Id [<!ENTITY e 'x'>]><Id/>")
            << "2:1 a document type declaration with declarations of its own (such as entities) is not "
               "accepted";
        QTest::newRow("cut off in a reference") << QByteArray("<Id>&#x1F321;&am")
                                                << "1:14 '&' starts no complete reference; a literal '&' is "
                                                   "written &amp;";
        QTest::newRow("cut off in a comment") << QByteArray("<Id>&amp;<!-- &#1; -") << "";
        QTest::newRow("invalid UTF-8") << QByteArray("<Id>\n<E>\xC3\xBC&nbsp;</E>\n\xF0\x9F\x8C</Id>")
                                       << "3:1 Encountered incorrectly encoded content.";
    }

    void Decoded_Pieces_Read_As_Whole()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, fault);
        // The text given, piece by piece, and the fault.
        const auto read = [&](int piece_size) {
            TXmlText text(data, piece_size);
            QString whole;
            QString piece;
            while (text.Next(&piece))
            {
                if (piece.isEmpty() || piece.at(piece.size() - 1).isHighSurrogate())
                {
                    return QStringList{"piece ends badly: " + piece};
                }
                whole += piece;
            }
            TXmlFault refusal;
            return QStringList{
                whole, text.Refused(&refusal)
                           ? QString("%1:%2 %3").arg(refusal.line).arg(refusal.column).arg(refusal.reason)
                           : QString()};
        };
        const QStringList whole = read(data.size() + 1);
        QCOMPARE(whole.value(1), fault);
        for (int piece_size = 1; piece_size <= data.size(); ++piece_size)
        {
            const QStringList pieces = read(piece_size);
            QVERIFY2(pieces == whole, qPrintable(QString("pieces of %1 bytes:\n%2\nwhole:\n%3")
                                                     .arg(piece_size)
                                                     .arg(pieces.join('\n'), whole.join('\n'))));
        }
    }

    void Failed_Save_Keeps_Old_File_data()
    {
        QTest::addColumn<bool>("read_only"); // else files may grow to 512 bytes only, as on a full disk
        QTest::addColumn<QString>("failure");
        QTest::newRow("disk full") << false << "1 ERR:  Cannot write file '%1'.  Reason: File too large";
        QTest::newRow("read-only file") << true << "0 ERR:  Cannot open file '%1' for writing";
    }

    void Failed_Save_Keeps_Old_File()
    {
        QFETCH(bool, read_only);
        QFETCH(QString, failure);
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
        QString actual;
        With_File_Size_Limit(512, [&] { actual = Failure_Of([&] { xml.Save_File(false); }); });
        QCOMPARE(actual, failure.replace("%1", xml.file_name));
        QCOMPARE(Read_File(xml.file_name), "old");
        QCOMPARE(QDir(save_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a %2.xml"});
    }
};

QTEST_GUILESS_MAIN(TXmlFileTest)
#include "tst_xmlfile.moc"
