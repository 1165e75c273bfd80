#include "xmlfile.h"

#include "dombuilder.h"
#include "durablefile.h"
#include "filescreen.h"
#include "xmlscreen.h"

#include <QDomCDATASection>
#include <QDomDocumentType>
#include <QDomImplementation>
#include <QDomNamedNodeMap>
#include <QDomProcessingInstruction>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QtGlobal>

#include <limits>
#include <utility>

namespace
{

const QString File_Version_Attribute = QStringLiteral("File_Version");

// The multi-argument QString::arg fills all placeholders in one pass, so a file name or a refused
// text that itself holds "%1" or "%2" cannot be substituted a second time.
TXmlFileException Error(const QString& format, int code)
{
    return TXmlFileException(format, code);
}

TXmlFileException Error(const QString& format, const QString& a1, int code)
{
    return TXmlFileException(format.arg(a1), code);
}

TXmlFileException Error(const QString& format, const QString& a1, const QString& a2, int code)
{
    return TXmlFileException(format.arg(a1, a2), code);
}

TXmlFileException Error(const QString& format, const QString& a1, const QString& a2, const QString& a3,
                        int code)
{
    return TXmlFileException(format.arg(a1, a2, a3), code);
}

bool Has_Text_Child(const QDomNode& node)
{
    const QDomNode child = node.firstChild();
    return !child.isNull() && (child.isText() || child.isCDATASection());
}

// Only the first child counts: text split by an element or a comment is not joined up.
QString Text_Of_First_Child(const QDomNode& node)
{
    return Has_Text_Child(node) ? node.firstChild().nodeValue() : QString();
}

// The element and node forms of the readers below differ only in the name their messages give the
// node (tag name, node name or local name), so each passes that name to one shared body.
QString Read_Text(const QDomNode& node, const QString& node_name, bool optional)
{
    if (node.isNull())
    {
        throw Error(QStringLiteral("ERR:  Cannot read data from a NULL node"), 1);
    }
    if (!Has_Text_Child(node) && !optional)
    {
        throw Error(QStringLiteral("ERR:  Node Text for '%1' is not optional."), node_name, 1);
    }
    return Text_Of_First_Child(node);
}

// For an element this finds exactly what QDomElement::hasAttribute and attribute would.
QString Read_Attribute(const QDomNode& node, const QString& name, bool optional)
{
    if (node.isNull())
    {
        throw Error(QStringLiteral("ERR:  Cannot read attribute from a NULL node"), 1);
    }
    if (node.hasAttributes())
    {
        const QDomNamedNodeMap attributes = node.attributes();
        if (attributes.contains(name))
        {
            return attributes.namedItem(name).nodeValue();
        }
    }
    if (!optional)
    {
        throw Error(QStringLiteral("ERR:  Node attribute '%1' missing and not optional."), name, 1);
    }
    return QString();
}

QDomElement Child_Element(const QDomNode& node, const QString& node_name, const QString& name, bool optional)
{
    if (node.isNull())
    {
        throw Error(QStringLiteral("ERR:  Cannot get child from a NULL node"), 1);
    }
    const QDomElement child = node.firstChildElement(name);
    if (child.isNull() && !optional)
    {
        throw Error(QStringLiteral("ERR:  Node '%1' is missing from node '%2' and not optional."), name,
                    node_name, 1);
    }
    return child;
}

QDomNode First_Child_Node(const QDomNode& parent, const QString& parent_name, bool optional)
{
    const QDomNode child = parent.firstChild();
    if (child.isNull() && !optional)
    {
        throw Error(QStringLiteral("ERR:  Parent '%1' does not have nodes and they are not optional."),
                    parent_name, 1);
    }
    return child;
}

// The invalid-data policy is process-wide. Qt 5.15's parser crashes on any character it refuses while
// null nodes are returned, and the same policy refuses characters above U+FFFF when text is built;
// so each step runs under the policy it needs and restores the one it found.
class TDomPolicy
{
public:
    explicit TDomPolicy(QDomImplementation::InvalidDataPolicy policy)
        : previous(QDomImplementation::invalidDataPolicy())
    {
        QDomImplementation::setInvalidDataPolicy(policy);
    }
    ~TDomPolicy() { QDomImplementation::setInvalidDataPolicy(previous); }

    TDomPolicy(const TDomPolicy&) = delete;
    TDomPolicy& operator=(const TDomPolicy&) = delete;

private:
    const QDomImplementation::InvalidDataPolicy previous;
};

// Decodes and screens the document piece by piece as the parser asks for it, building the DOM in one
// pass; on failure fills the line, column and reason of the parse message. A damaged document is built
// as far as it was read before the first fault, in the same pass, with the elements left unfinished
// there. The whole decoded text never exists at once.
bool Parse(QDomDocument* document, const QByteArray& data, bool namespace_processing, QString* error,
           int* line, int* column, QVector<QDomElement>* unfinished_elements,
           const TElementRead& element_read)
{
    unfinished_elements->clear();
    TXmlText text(data);
    const TDomPolicy policy(QDomImplementation::AcceptInvalidChars);
    const bool built = Build_Dom_Document(
        document, [&text](QString* piece) { return text.Next(piece); }, namespace_processing, error, line,
        column, unfinished_elements, element_read);
    // A fault after where the parser stopped still refuses the document, and is the one reported.
    QString rest;
    while (text.Next(&rest))
    {
    }
    TXmlFault fault;
    if (text.Refused(&fault))
    {
        // The text ends before the fault, so the reader's complaint about it is not the cause.
        *error = fault.reason;
        *line = fault.line;
        *column = fault.column;
        return false;
    }
    return built;
}

QString Real_Text(double value, int precision)
{
    return QStringLiteral("%1").arg(value, 0, 'f', precision);
}

QString Integer_Text(int value)
{
    return QStringLiteral("%1").arg(value);
}

// A compact document is written on one line: the line ends of text go too.
QByteArray Without_Line_Ends(const QByteArray& bytes)
{
    QByteArray single_line;
    single_line.reserve(bytes.size());
    for (const char byte : bytes)
    {
        if (byte != '\r' && byte != '\n')
        {
            single_line.append(byte);
        }
    }
    return single_line;
}

QByteArray Saved_By_Qt(const QDomDocument& document, int indent)
{
    QByteArray bytes;
    {
        // The stream must be flushed (here: destroyed) before the buffer is read.
        QTextStream stream(&bytes, QIODevice::WriteOnly);
        document.save(stream, indent, QDomNode::EncodingFromDocument);
    }
    return bytes;
}

// QDomDocument::save asks its codec, character by character, whether it can encode the character,
// which costs several times the building of the document. Documents as the writers here build them
// (an XML declaration naming UTF-8 or none, a document type without identifiers or none, elements and
// at most one attribute each without namespace, valid text and CDATA) are written here to the very
// bytes save writes; for anything else Write_Document returns false and save does the work.
//
// An element given as streamed, empty when writing starts, gets its children from next_child one at a
// time while it is written, each taken out again once written: a document of many entries is never
// held whole. The text is turned into bytes piece by piece for the same reason.
class TDocumentWriter
{
public:
    // size_hint: the bytes expected, to be made room for at once.
    TDocumentWriter(int indent, const QDomElement& streamed_element, const TChildSource& next_streamed_child,
                    qint64 size_hint = 0)
        : indent_size(indent), streamed(streamed_element), next_child(next_streamed_child)
    {
        // Grown by appending, the bytes of a large document would be copied again and again, each
        // copy beside the last, until they reach the next power of two in size.
        bytes.reserve(int(qBound(qint64(0), size_hint, qint64(std::numeric_limits<int>::max() / 2))));
    }

    bool Write_Document(const QDomDocument& document);
    // The bytes written, once Write_Document succeeded.
    QByteArray Take_Bytes();

private:
    bool Write_Children(const QDomNode& parent, int depth);
    bool Write_Element(const QDomElement& element, int depth);
    bool Write_Streamed_Children(QDomElement element, int depth);
    // Moves the text written so far into bytes; only between nodes, so that no character is split.
    void Flush(int at_least);
    void Write_Indent(int depth) { text.append(QString(depth * indent_size, QLatin1Char(' '))); }
    // Escapes as save does: in an attribute also quotes, tabs and line ends; in text a carriage
    // return, which a parser would turn into a line feed.
    bool Write_Escaped(const QString& value, bool attribute);

    const int indent_size;
    const QDomElement streamed;
    const TChildSource next_child;
    QString text;
    QByteArray bytes;
};

QByteArray TDocumentWriter::Take_Bytes()
{
    Flush(0);
    bytes.squeeze();
    return std::move(bytes);
}

void TDocumentWriter::Flush(int at_least)
{
    if (text.size() >= at_least)
    {
        bytes.append(text.toUtf8());
        text.clear();
    }
}

bool TDocumentWriter::Write_Streamed_Children(QDomElement element, int depth)
{
    bool first = true;
    while (next_child())
    {
        const QDomElement child = element.lastChild().toElement();
        if (child.isNull() || (first && !child.previousSibling().isNull()))
        {
            return false; // the streamed element must start empty and get elements
        }
        if (first)
        {
            text.append(QLatin1String(">\n"));
            first = false;
        }
        if (!Write_Element(child, depth + 1))
        {
            return false;
        }
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
        // The fuzzer compares the whole document with what save writes.
        element.removeChild(child);
#endif
        Flush(1 << 16);
    }
    if (first)
    {
        text.append(QLatin1String("/>"));
        return true;
    }
    Write_Indent(depth);
    text.append(QLatin1String("</") + element.tagName() + QLatin1Char('>'));
    return true;
}

bool TDocumentWriter::Write_Document(const QDomDocument& document)
{
    const QDomDocumentType type = document.doctype();
    if (!type.publicId().isNull() || !type.systemId().isNull() || type.entities().count() > 0 ||
        type.notations().count() > 0)
    {
        return false;
    }
    bool type_written = false;
    for (QDomNode node = document.firstChild(); !node.isNull(); node = node.nextSibling())
    {
        const bool declaration = node.isProcessingInstruction() && node.nodeName() == QLatin1String("xml");
        if (declaration)
        {
            // Any other declaration may name another encoding.
            if (node.nodeValue() != QLatin1String("version=\"1.0\" encoding=\"utf-8\"") ||
                node != document.firstChild())
            {
                return false;
            }
            text.append(QLatin1String("<?xml ") + node.nodeValue() + QLatin1String("?>\n"));
            continue;
        }
        if (!type_written && !type.name().isEmpty())
        {
            text.append(QLatin1String("<!DOCTYPE ") + type.name() + QLatin1String(">\n"));
        }
        type_written = true;
        if (!node.isElement() || !Write_Element(node.toElement(), 0))
        {
            return false;
        }
    }
    return true;
}

bool TDocumentWriter::Write_Children(const QDomNode& parent, int depth)
{
    for (QDomNode node = parent.firstChild(); !node.isNull(); node = node.nextSibling())
    {
        if (node.isElement())
        {
            if (!Write_Element(node.toElement(), depth))
            {
                return false;
            }
        }
        else if (node.isCDATASection())
        {
            const QString value = node.nodeValue();
            if (!Is_Xml_Text(value) || value.contains(QLatin1String("]]>")))
            {
                return false;
            }
            text.append(QLatin1String("<![CDATA[") + value + QLatin1String("]]>"));
        }
        else if (!node.isText() || !Write_Escaped(node.nodeValue(), false))
        {
            return false;
        }
    }
    return true;
}

bool TDocumentWriter::Write_Element(const QDomElement& element, int depth)
{
    const QDomNode previous = element.previousSibling();
    if (!(previous.isText() || previous.isCDATASection()))
    {
        Write_Indent(depth);
    }
    if (!element.namespaceURI().isNull())
    {
        return false;
    }
    text.append(QLatin1Char('<') + element.tagName());
    const QDomNamedNodeMap attributes = element.attributes();
    if (attributes.count() > 1) // saved in the order of a hash
    {
        return false;
    }
    if (attributes.count() == 1)
    {
        const QDomNode attribute = attributes.item(0);
        if (!attribute.namespaceURI().isNull())
        {
            return false;
        }
        text.append(QLatin1Char(' ') + attribute.nodeName() + QLatin1String("=\""));
        if (!Write_Escaped(attribute.nodeValue(), true))
        {
            return false;
        }
        text.append(QLatin1Char('"'));
    }
    const QDomNode first = element.firstChild();
    if (!streamed.isNull() && element == streamed)
    {
        if (!first.isNull() || !Write_Streamed_Children(element, depth))
        {
            return false;
        }
    }
    else if (first.isNull())
    {
        text.append(QLatin1String("/>"));
    }
    else
    {
        text.append(QLatin1Char('>'));
        if (!(first.isText() || first.isCDATASection()))
        {
            text.append(QLatin1Char('\n'));
        }
        if (!Write_Children(element, depth + 1))
        {
            return false;
        }
        const QDomNode last = element.lastChild();
        if (!(last.isText() || last.isCDATASection()))
        {
            Write_Indent(depth);
        }
        text.append(QLatin1String("</") + element.tagName() + QLatin1Char('>'));
    }
    const QDomNode next = element.nextSibling();
    if (!(next.isText() || next.isCDATASection()))
    {
        text.append(QLatin1Char('\n'));
    }
    return true;
}

bool TDocumentWriter::Write_Escaped(const QString& value, bool attribute)
{
    if (!Is_Xml_Text(value))
    {
        return false; // save writes such characters as references
    }
    const QChar* const characters = value.constData();
    const int size = value.size();
    for (int index = 0; index < size; ++index)
    {
        const QChar character = characters[index];
        switch (character.unicode())
        {
        case '<':
            text.append(QLatin1String("&lt;"));
            break;
        case '&':
            text.append(QLatin1String("&amp;"));
            break;
        case '"':
            text.append(attribute ? QLatin1String("&quot;") : QLatin1String("\""));
            break;
        case '>':
            // Only where it would end "]]>"; a ']' is never escaped, so the text shows it.
            text.append(index >= 2 && characters[index - 1] == QLatin1Char(']') &&
                                characters[index - 2] == QLatin1Char(']')
                            ? QLatin1String("&gt;")
                            : QLatin1String(">"));
            break;
        case '\n':
            text.append(attribute ? QLatin1String("&#xa;") : QLatin1String("\n"));
            break;
        case '\t':
            text.append(attribute ? QLatin1String("&#x9;") : QLatin1String("\t"));
            break;
        case '\r':
            text.append(QLatin1String("&#xd;"));
            break;
        default:
            text.append(character);
            break;
        }
    }
    return true;
}

} // namespace

TXmlFileException::TXmlFileException(const QString& message_text, int error_code)
    : message(message_text), code(error_code)
{
}

TXmlFile::TXmlFile()
{
    // Without this the DOM library silently repairs or accepts invalid names; a null node is what the
    // writers below turn into an exception. Text and parsing run under policies of their own.
    QDomImplementation::setInvalidDataPolicy(QDomImplementation::ReturnNullNode);
}

TXmlFile::~TXmlFile() = default;

void TXmlFile::Clear()
{
    document.clear();
    unfinished_elements.clear();
    damage_line = 0;
    damage_column = 0;
}

void TXmlFile::Open_File(const QString& identification, int* version, bool namespace_processing,
                         const TElementRead& element_read)
{
    const QFileInfo info(file_name);
    if (!info.isReadable())
    {
        throw Error(QStringLiteral("ERR:  Cannot open file '%1' for reading."), file_name, 0);
    }

    // A device or a file too large to be one of ours is refused before a byte of it is read.
    QString refusal;
    if (!Screen_File(file_name, Xml_Max_Document_Size, &refusal))
    {
        throw Error(QStringLiteral("ERR:  Cannot open file: '%1'.  Reason: %2"), file_name, refusal, 0);
    }
    // Read in one piece and decoded here, piece by piece: the parser's own block-wise decoding drops a
    // U+FEFF on a block boundary.
    QFile file(file_name);
    if (!file.open(QIODevice::ReadOnly))
    {
        throw Error(QStringLiteral("ERR:  Cannot open file: '%1'.  Reason: %2"), file_name,
                    file.errorString(), 0);
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
    {
        throw Error(QStringLiteral("ERR:  Cannot open file: '%1'.  Reason: %2"), file_name,
                    file.errorString(), 0);
    }
    file.close();

    QString parse_error;
    int line = 0;
    int column = 0;
    damage_line = 0;
    damage_column = 0;
    if (!Parse(&document, data, namespace_processing, &parse_error, &line, &column, &unfinished_elements,
               element_read))
    {
        const TXmlFileException error =
            Error(QStringLiteral("ERR:  Reference file XML parse error at line %1 column %2: %3"),
                  QString::number(line), QString::number(column), parse_error, 1);
        Keep_Part_Read(identification, version, line, column);
        throw error;
    }

    Check_Root(identification, version);
}

void TXmlFile::Open_Data(const QByteArray& data, const QString& identification, int* version,
                         bool namespace_processing, const TElementRead& element_read)
{
    QString parse_error;
    int line = 0;
    int column = 0;
    damage_line = 0;
    damage_column = 0;
    if (!Parse(&document, data, namespace_processing, &parse_error, &line, &column, &unfinished_elements,
               element_read))
    {
        const TXmlFileException error =
            Error(QStringLiteral("ERR:  Reference data XML parse error at line %1 column %2: %3"),
                  QString::number(line), QString::number(column), parse_error, 1);
        Keep_Part_Read(identification, version, line, column);
        throw error;
    }

    Check_Root(identification, version);
}

void TXmlFile::Keep_Part_Read(const QString& expected_identification, int* version, int line, int column)
{
    damage_line = line;
    damage_column = column;
    try
    {
        Check_Root(expected_identification, version);
    }
    catch (const TXmlFileException&)
    {
        root_element = QDomElement(); // not the document expected, or not reached: nothing to read
    }
}

bool TXmlFile::Is_Complete(const QDomElement& element) const
{
    return !unfinished_elements.contains(element);
}

void TXmlFile::Check_Root(const QString& expected_identification, int* version)
{
    root_element = document.documentElement();
    if (root_element.tagName() != expected_identification)
    {
        throw Error(QStringLiteral("ERR:  Identification '%1' does not match '%2'"), expected_identification,
                    root_element.tagName(), 1);
    }

    doc_type_name = document.doctype().name();
    identification = expected_identification;

    if (version != nullptr)
    {
        if (!root_element.hasAttribute(File_Version_Attribute))
        {
            throw Error(QStringLiteral("ERR:  The 'File_Version' attribute is missing."), 1);
        }
        // A version that is not a number reads as 0; the caller decides what it can read.
        *version = root_element.attribute(File_Version_Attribute).toInt(nullptr, 10);
    }
}

void TXmlFile::Create_Document(const QString& root_name, int version)
{
    document.clear();
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"utf-8\"")));
    root_element = document.createElement(root_name);
    root_element.setAttribute(File_Version_Attribute, Integer_Text(version));
    document.appendChild(root_element);
}

void TXmlFile::Create_Document(const QString& doc_type_name, const QString& root_name, int version)
{
    // The doc_type_name field describes the last opened document and is deliberately left alone.
    document = QDomDocument(doc_type_name);
    root_element = document.createElement(root_name);
    root_element.setAttribute(File_Version_Attribute, Integer_Text(version));
    document.appendChild(root_element);
}

QByteArray TXmlFile::Serialise(bool compact, const QDomElement& streamed, const TChildSource& next_child,
                               qint64 size_hint) const
{
    const int indent = compact ? 0 : 4;
    QByteArray bytes;
    TDocumentWriter writer(indent, streamed, next_child, size_hint);
    if (writer.Write_Document(document))
    {
        bytes = writer.Take_Bytes();
    }
    else if (streamed.isNull())
    {
        bytes = Saved_By_Qt(document, indent);
    }
    else
    {
        // The children written are gone: save cannot write them again. The writers here build nothing
        // the writer above refuses, so this is a caller's mistake.
        throw Error(QStringLiteral("ERR:  Cannot write element '%1' as it was built"), streamed.tagName(), 1);
    }
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // The fuzzer holds every document written here to the bytes save writes.
    if (bytes != Saved_By_Qt(document, indent))
    {
        qFatal("Serialise: the document was not written as QDomDocument::save writes it");
    }
#endif
    return compact ? Without_Line_Ends(bytes) : bytes;
}

void TXmlFile::Save_File(bool compact) const
{
    Save_File_Data(Serialise(compact, QDomElement(), TChildSource()));
}

void TXmlFile::Save_File_Data(const QByteArray& data) const
{
    const QString write_error = QStringLiteral("ERR:  Cannot write file '%1'.  Reason: %2");

    const QFileInfo info(file_name);
    if (info.exists() && !info.isWritable())
    {
        throw Error(QStringLiteral("ERR:  Cannot open file '%1' for writing"), file_name, 0);
    }

    // The old file is replaced only once the new content is completely on disk, so a full disk or an
    // interrupted write never costs the data that was there.
    QString reason;
    if (!Write_Whole_File(file_name, data, &reason, TLineEnds::Native))
    {
        throw Error(write_error, file_name, reason, 1);
    }
}

void TXmlFile::Save_Data(QByteArray* data, bool compact) const
{
    Q_ASSERT_X(data != nullptr, "TXmlFile::Save_Data", "data");
    data->clear();
    data->append(Serialise(compact, QDomElement(), TChildSource()));
}

void TXmlFile::Save_Data(QByteArray* data, bool compact, const QDomElement& streamed,
                         const TChildSource& next_child)
{
    Q_ASSERT_X(data != nullptr && !streamed.isNull(), "TXmlFile::Save_Data", "data, streamed");
    // A save mostly writes the file again with a few entries changed: about the size it has now, with
    // room for one entry more.
    const QFileInfo replaced(file_name);
    const qint64 size_hint = !file_name.isEmpty() && replaced.isFile() ? replaced.size() + (1 << 16) : 0;
    *data = Serialise(compact, streamed, next_child, size_hint);
}

QString TXmlFile::Read_Node_Text(const QDomElement* node, bool optional) const
{
    Q_ASSERT_X(node != nullptr, "TXmlFile::Read_Node_Text", "node");
    return Read_Text(*node, node->tagName(), optional);
}

QString TXmlFile::Read_Node_Text(const QDomNode* node, bool optional) const
{
    Q_ASSERT_X(node != nullptr, "TXmlFile::Read_Node_Text", "node");
    return Read_Text(*node, node->localName(), optional);
}

QString TXmlFile::Read_Node_Attribute(const QDomElement* node, const QString& name, bool optional) const
{
    Q_ASSERT_X(node != nullptr, "TXmlFile::Read_Node_Attribute", "node");
    return Read_Attribute(*node, name, optional);
}

QString TXmlFile::Read_Node_Attribute(const QDomNode* node, const QString& name, bool optional) const
{
    Q_ASSERT_X(node != nullptr, "TXmlFile::Read_Node_Attribute", "node");
    return Read_Attribute(*node, name, optional);
}

QDomElement TXmlFile::Get_Child_Element(const QDomElement* node, const QString& name, bool optional) const
{
    Q_ASSERT_X(node != nullptr, "TXmlFile::Get_Child_Element", "node");
    return Child_Element(*node, node->tagName(), name, optional);
}

QDomElement TXmlFile::Get_Child_Element(const QDomNode* node, const QString& name, bool optional) const
{
    Q_ASSERT_X(node != nullptr, "TXmlFile::Get_Child_Element", "node");
    return Child_Element(*node, node->nodeName(), name, optional);
}

QDomElement TXmlFile::Get_Sibling_Element(const QDomElement* current_node, const QString& name,
                                          bool optional) const
{
    Q_ASSERT_X(current_node != nullptr, "TXmlFile::Get_Sibling_Element", "current_node");
    if (current_node->isNull())
    {
        throw Error(QStringLiteral("ERR:  Cannot get sibling from a NULL node"), 1);
    }
    const QDomElement sibling = current_node->nextSiblingElement(name);
    if (sibling.isNull() && !optional)
    {
        throw Error(QStringLiteral("ERR:  Node '%1' is missing from node '%2' and not optional."), name,
                    current_node->tagName(), 1);
    }
    return sibling;
}

QDomNode TXmlFile::Get_First_Child_Node(const QDomElement* parent, bool optional) const
{
    Q_ASSERT_X(parent != nullptr, "TXmlFile::Get_First_Child_Node", "parent");
    return First_Child_Node(*parent, parent->tagName(), optional);
}

QDomNode TXmlFile::Get_First_Child_Node(const QDomNode* parent, bool optional) const
{
    Q_ASSERT_X(parent != nullptr, "TXmlFile::Get_First_Child_Node", "parent");
    return First_Child_Node(*parent, parent->localName(), optional);
}

QDomNode TXmlFile::Get_Sibling_Node(const QDomNode* current_node, bool optional) const
{
    Q_ASSERT_X(current_node != nullptr, "TXmlFile::Get_Sibling_Node", "current_node");
    const QDomNode sibling = current_node->nextSibling();
    if (sibling.isNull() && !optional)
    {
        throw Error(QStringLiteral("ERR:  Node '%1' does not have siblings and they are not optional."),
                    current_node->localName(), 1);
    }
    return sibling;
}

QDomElement TXmlFile::Create_Child_Element(QDomNode* parent, const QString& name)
{
    Q_ASSERT_X(parent != nullptr, "TXmlFile::Create_Child_Element", "parent");
    if (parent->isNull())
    {
        throw Error(QStringLiteral("ERR:  Cannot create node from a NULL node"), 1);
    }
    if (name.isEmpty())
    {
        throw Error(QStringLiteral("ERR:  Cannot create an unnamed node"), 1);
    }
    // An invalid name gives a null element here; the first write into it reports the failure.
    const TDomPolicy policy(QDomImplementation::ReturnNullNode);
    QDomElement element = document.createElement(name);
    parent->appendChild(element);
    return element;
}

void TXmlFile::Write_Node_Data(QDomElement* node, const QString& data)
{
    Q_ASSERT_X(node != nullptr, "TXmlFile::Write_Node_Data", "node");
    if (node->isNull())
    {
        throw Error(QStringLiteral("ERR:  Cannot append data to a NULL node"), 1);
    }
    // Checked here rather than by the DOM, which also refuses characters above U+FFFF.
    if (!Is_Xml_Text(data))
    {
        throw Error(QStringLiteral("ERR:  Cannot write node '%1' with data '%2'"), node->tagName(), data, 1);
    }
    const TDomPolicy policy(QDomImplementation::AcceptInvalidChars);
    // Blank text written as a text node would be dropped by the next parse; a CDATA section holds the
    // same text and reads back as it is. Blank text never holds "]]>".
    if (Is_Blank(data))
    {
        node->appendChild(document.createCDATASection(data));
        return;
    }
    node->appendChild(document.createTextNode(data));
}

void TXmlFile::Write_Node_Data(QDomElement* node, double value, int precision)
{
    Write_Node_Data(node, Real_Text(value, precision));
}

void TXmlFile::Write_Node_Data(QDomElement* node, int value)
{
    Write_Node_Data(node, Integer_Text(value));
}

void TXmlFile::Write_Node_Attribute(QDomElement* node, const QString& name, const QString& value)
{
    Q_ASSERT_X(node != nullptr, "TXmlFile::Write_Node_Attribute", "node");
    if (name.isEmpty())
    {
        throw Error(QStringLiteral("ERR:  Cannot create an unnamed attribute"), 1);
    }
    node->setAttribute(name, value);
}

void TXmlFile::Write_Node_Attribute(QDomElement* node, const QString& name, double value, int precision)
{
    Write_Node_Attribute(node, name, Real_Text(value, precision));
}

void TXmlFile::Write_Node_Attribute(QDomElement* node, const QString& name, int value)
{
    Write_Node_Attribute(node, name, Integer_Text(value));
}
