#ifndef XMLSCREEN_H
#define XMLSCREEN_H

#include <QByteArray>
#include <QString>

#include <memory>

// The DOM parser is safe only on documents it can neither crash on nor recurse or expand without
// bound, so a document is decoded and screened here, piece by piece, before the parser sees it.

// Why a document was refused and where; line and column count from 1, the column in characters.
struct TXmlFault
{
    QString reason;
    int line = 0;
    int column = 0;
};

// Deeper than any document of this system; the parser's recursion stays far from the stack's end.
constexpr int Xml_Max_Depth = 32;

// The format gives an element at most one attribute; the parser's cost grows with the square of an
// element's attributes, so a few thousand of them would stall it for minutes.
constexpr int Xml_Max_Attributes = 8;

// Far beyond any calibration file, yet a bound on what is read into memory and parsed at all.
constexpr qint64 Xml_Max_Document_Size = qint64(256) * 1024 * 1024;

// False, with fault set (at line 1, column 1), when a document of size bytes is larger than
// Xml_Max_Document_Size.
bool Screen_Xml_Size(qint64 size, TXmlFault* fault);

// True for the characters XML 1.0 allows; code is a Unicode code point, not a UTF-16 unit.
bool Is_Xml_Character(uint code);
// True when every character of text is one XML allows: characters above U+FFFF must be complete
// surrogate pairs; controls other than tab, line feed and carriage return, U+FFFE, U+FFFF and lone
// surrogates are refused.
bool Is_Xml_Text(const QString& text);

// Pieces of this many bytes are decoded at a time: the whole decoded text, twice the size of the file,
// never exists at once.
constexpr int Xml_Piece_Size = 1 << 16;

// A document decoded and screened piece by piece, in the order the pieces are read; the pieces make the
// same text, and a refused document the same fault, wherever they end.
//
// Decoding follows the byte order mark, or else the XML declaration (UTF-8 when neither names an
// encoding). A document that cannot be decoded whole (bytes its encoding cannot have, an encoding that
// cannot be read, a document Screen_Xml_Size refuses) is refused for that: its pieces hold what decodes
// before the fault (UTF-8), screened as below, else nothing. A screening fault there ends the pieces,
// but the encoding fault is the one reported.
//
// Screening refuses a character XML forbids (also as a character reference), a document type
// declaration with declarations of its own (the way to declare entities), a reference to any entity but
// the five predefined ones, elements nested deeper than Xml_Max_Depth or an element with more than
// Xml_Max_Attributes attributes. Character references above U+FFFF are replaced by the character itself,
// which the parser would otherwise cut to 16 bits. Malformed XML that is none of these is left for the
// parser to report. On a screening fault the pieces end before it, screened as a whole text would be:
// the part of a damaged document that may still be read.
//
// A piece never ends between the halves of a surrogate pair, and is never empty.
class TXmlText
{
public:
    explicit TXmlText(const QByteArray& data, int piece_size = Xml_Piece_Size);
    ~TXmlText();

    TXmlText(const TXmlText&) = delete;
    TXmlText& operator=(const TXmlText&) = delete;

    // The next piece; false when there is none left.
    bool Next(QString* piece);
    // Once Next returned false: true, with fault set, when the document was refused.
    bool Refused(TXmlFault* fault) const;

private:
    struct TState;
    std::unique_ptr<TState> state;
};

#endif // XMLSCREEN_H
