#include "dombuilder.h"

#include <QDomDocument>
#include <QDomImplementation>
#include <QString>
#include <QVector>
#include <QXmlStreamReader>
#include <QtGlobal>

bool Is_Blank(QStringView text)
{
    for (const QChar character : text)
    {
        if (!character.isSpace())
        {
            return false;
        }
    }
    return true;
}

namespace
{

// Element and attribute names repeat through a document: one shared copy of each spares an
// allocation per node. A document with many names just stops being helped.
class TNameCache
{
public:
    QString Get(const QStringView name)
    {
        for (const QString& known : qAsConst(names))
        {
            if (QStringView(known) == name)
            {
                return known;
            }
        }
        const QString added = name.toString();
        if (names.size() < Max_Names)
        {
            names.append(added);
        }
        return added;
    }

private:
    static constexpr int Max_Names = 32;
    QVector<QString> names;
};

// A string of its own, just as long as the text. Qt 5.15's reader shares its whole text buffer when a
// text fills it, and that buffer has room for 256 characters, or for the longest text read so far:
// every text kept (a thermometer's description) would pin one.
QString Own_Copy(const QStringView text)
{
    return text.toString();
}

// Takes the pieces for the stream reader, which encodes each piece on its own: so a piece never ends
// between the halves of a surrogate pair.
class TTextPieces
{
public:
    explicit TTextPieces(const TTextSource& source) : next_piece(source) {}

    // The next piece, or false when there is none left.
    bool Next(QString* piece)
    {
        if (finished || !next_piece(piece))
        {
            finished = true;
            return false;
        }
        QString more;
        while (!piece->isEmpty() && piece->at(piece->size() - 1).isHighSurrogate() && Next_Raw(&more))
        {
            piece->append(more);
        }
        return true;
    }

    // All pieces left, in one.
    QString Rest()
    {
        QString rest;
        QString piece;
        while (Next_Raw(&piece))
        {
            rest.append(piece);
        }
        return rest;
    }

private:
    bool Next_Raw(QString* piece)
    {
        finished = finished || !next_piece(piece);
        return !finished;
    }

    const TTextSource& next_piece;
    bool finished = false;
};

// The XML declaration is kept as a processing instruction, worded as setContent words it.
QString Declaration_Data(const QXmlStreamReader& reader)
{
    QString data = QStringLiteral("version='%1'").arg(reader.documentVersion().toString());
    if (!reader.documentEncoding().isEmpty())
    {
        data += QStringLiteral(" encoding='%1'").arg(reader.documentEncoding().toString());
    }
    if (reader.isStandaloneDocument())
    {
        data += QStringLiteral(" standalone='yes'");
    }
    return data;
}
} // namespace

bool Build_Dom_Document(QDomDocument* document, const QString& text, bool namespace_processing,
                        QString* error, int* line, int* column, QVector<QDomElement>* unfinished_elements,
                        const TElementRead& element_read, int piece_size)
{
    const int size = qMax(piece_size, 1);
    int position = 0;
    const TTextSource next_piece = [&](QString* piece) {
        if (position >= text.size())
        {
            return false;
        }
        *piece = text.mid(position, size);
        position += size;
        return true;
    };
    return Build_Dom_Document(document, next_piece, namespace_processing, error, line, column,
                              unfinished_elements, element_read);
}

bool Build_Dom_Document(QDomDocument* document, const TTextSource& next_piece, bool namespace_processing,
                        QString* error, int* line, int* column, QVector<QDomElement>* unfinished_elements,
                        const TElementRead& element_read)
{
    Q_ASSERT_X(document != nullptr, "Build_Dom_Document", "document");
    TTextPieces pieces(next_piece);
    QString first_piece;
    pieces.Next(&first_piece);
    // Made with the first piece, as with a whole text: the reader's encoding is then fixed.
    QXmlStreamReader reader(first_piece);
    first_piece = QString();
    reader.setNamespaceProcessing(namespace_processing);

    // A document made with a name has the document type node setContent gives one without a DOCTYPE.
    *document = QDomDocument(QString());
    QDomNode parent = *document;
    TNameCache names;
    int depth = 0;
    while (!reader.atEnd())
    {
        const QXmlStreamReader::TokenType token = reader.readNext();
        QString piece;
        if (token == QXmlStreamReader::Invalid &&
            reader.error() == QXmlStreamReader::PrematureEndOfDocumentError && pieces.Next(&piece))
        {
            reader.addData(piece);
            continue;
        }
        switch (token)
        {
        case QXmlStreamReader::StartDocument:
            if (!reader.documentVersion().isEmpty())
            {
                document->appendChild(
                    document->createProcessingInstruction(QStringLiteral("xml"), Declaration_Data(reader)));
            }
            break;
        case QXmlStreamReader::DTD:
        {
            // A document gets its type when it is made: what came before the declaration (the XML
            // declaration, comments, processing instructions) moves over to the new document.
            const QDomDocument before = *document;
            *document = QDomDocument(QDomImplementation().createDocumentType(
                reader.dtdName().toString(), reader.dtdPublicId().toString(),
                reader.dtdSystemId().toString()));
            for (QDomNode node = before.firstChild(); !node.isNull(); node = node.nextSibling())
            {
                document->appendChild(document->importNode(node, true));
            }
            parent = *document;
            break;
        }
        case QXmlStreamReader::StartElement:
        {
            QDomElement element = namespace_processing
                                      ? document->createElementNS(reader.namespaceUri().toString(),
                                                                  names.Get(reader.qualifiedName()))
                                      : document->createElement(names.Get(reader.qualifiedName()));
            // Held const: iterating the reader's copy as it is returned would copy every attribute.
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute& attribute : attributes)
            {
                if (namespace_processing)
                {
                    element.setAttributeNS(attribute.namespaceUri().toString(),
                                           names.Get(attribute.qualifiedName()), Own_Copy(attribute.value()));
                }
                else
                {
                    element.setAttribute(names.Get(attribute.qualifiedName()), Own_Copy(attribute.value()));
                }
            }
            parent.appendChild(element);
            parent = element;
            ++depth;
            break;
        }
        case QXmlStreamReader::EndElement:
        {
            const QDomNode element = parent;
            parent = parent.parentNode();
            if (element_read && element_read(element.toElement(), depth))
            {
                parent.removeChild(element);
            }
            // Once the document element is closed the reader takes the end of what it was given for
            // the end of the document: what follows is given whole.
            if (--depth == 0)
            {
                const QString rest = pieces.Rest();
                if (!rest.isEmpty())
                {
                    reader.addData(rest);
                }
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (reader.isCDATA())
            {
                parent.appendChild(document->createCDATASection(Own_Copy(reader.text())));
            }
            else if (!reader.isWhitespace() && !Is_Blank(reader.text()))
            {
                parent.appendChild(document->createTextNode(Own_Copy(reader.text())));
            }
            break;
        case QXmlStreamReader::Comment:
            parent.appendChild(document->createComment(Own_Copy(reader.text())));
            break;
        case QXmlStreamReader::ProcessingInstruction:
            parent.appendChild(
                document->createProcessingInstruction(reader.processingInstructionTarget().toString(),
                                                      Own_Copy(reader.processingInstructionData())));
            break;
        case QXmlStreamReader::EntityReference:
            parent.appendChild(document->createEntityReference(reader.name().toString()));
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
    {
        if (unfinished_elements != nullptr)
        {
            unfinished_elements->clear();
            for (QDomNode open = parent; open.isElement(); open = open.parentNode())
            {
                unfinished_elements->prepend(open.toElement());
            }
        }
        if (error != nullptr)
        {
            *error = reader.errorString();
        }
        if (line != nullptr)
        {
            *line = static_cast<int>(reader.lineNumber());
        }
        if (column != nullptr)
        {
            *column = static_cast<int>(reader.columnNumber());
        }
        return false;
    }
    return true;
}
