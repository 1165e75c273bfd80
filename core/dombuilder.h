#ifndef DOMBUILDER_H
#define DOMBUILDER_H

#include <QDomElement>
#include <QStringView>
#include <QVector>

#include <functional>

class QDomDocument;
class QString;

// Builds a DOM from an already decoded document in one pass of QXmlStreamReader: the nodes
// QDomDocument::setContent would build, without the second pass Qt 5.15 would need to refuse what
// Qt 6 refuses (its own parser reads past undeclared entities, control characters and repeated
// attributes, and words its errors differently). So both versions accept the same documents, build
// the same nodes and report the stream reader's error, line and column.
//
// Text made only of blanks (by QChar::isSpace) is dropped unless it is a CDATA section, as
// setContent drops it. The caller screens the text first and sets the invalid-data policy that
// accepts what the reader accepted. On failure the document keeps the nodes read before the point of
// failure, and unfinished_elements, when given, gets the elements whose end tag was not read there,
// outermost first: their content may be cut short.
//
// element_read, when given, is called for each element as soon as its end tag is read, with its depth
// (the document element's is 1) and the nodes read so far around it; when it returns true the element
// is taken out of the document. A reader that takes each part as it comes and needs it no further so
// holds one part at a time, not the whole document.
//
// The text comes piece by piece from next_piece, which sets the next piece and returns true, or returns
// false when there is none left; a piece is taken only when the reader needs it, so that the whole
// text need never exist at once (given a whole text, Qt's reader would also hold it twice more,
// encoded as UTF-8 and decoded again). The nodes built, the error and its place are the same wherever
// the pieces end.
using TElementRead = std::function<bool(const QDomElement& element, int depth)>;
using TTextSource = std::function<bool(QString* piece)>;
bool Build_Dom_Document(QDomDocument* document, const TTextSource& next_piece, bool namespace_processing,
                        QString* error, int* line, int* column,
                        QVector<QDomElement>* unfinished_elements = nullptr,
                        const TElementRead& element_read = TElementRead());

// The same for a whole text, given in pieces of piece_size characters.
constexpr int Dom_Text_Piece_Size = 1 << 16;
bool Build_Dom_Document(QDomDocument* document, const QString& text, bool namespace_processing,
                        QString* error, int* line, int* column,
                        QVector<QDomElement>* unfinished_elements = nullptr,
                        const TElementRead& element_read = TElementRead(),
                        int piece_size = Dom_Text_Piece_Size);

// Text made only of blanks (by QChar::isSpace): the builder drops it as a text node, so a writer must
// keep it in CDATA.
bool Is_Blank(QStringView text);

#endif // DOMBUILDER_H
