#include "xmlscreen.h"

#include <QRegularExpression>
#include <QtGlobal>

#include <memory>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

namespace
{

// Index of the first character XML forbids among size characters, or -1.
int First_Non_Xml_Character(const QChar* const data, const int size)
{
    for (int index = 0; index < size; ++index)
    {
        const ushort code = data[index].unicode();
        if ((code >= 0x20 && code < 0xD800) || code == 0x9 || code == 0xA || code == 0xD ||
            (code >= 0xE000 && code <= 0xFFFD))
        {
            continue;
        }
        if (QChar::isHighSurrogate(code) && index + 1 < size && data[index + 1].isLowSurrogate())
        {
            ++index;
            continue;
        }
        return index;
    }
    return -1;
}

QString Code_Point_Text(uint code)
{
    return QStringLiteral("U+%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
}

// Offset of the first byte that does not start a well-formed UTF-8 sequence (surrogates and code
// points above U+10FFFF are not well-formed), or -1.
int First_Invalid_Utf8(const QByteArray& data)
{
    const auto* const bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const int size = data.size();
    int index = 0;
    while (index < size)
    {
        const unsigned char lead = bytes[index];
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80)
        {
            ++index;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF)
        {
            length = 2;
        }
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        else
        {
            return index;
        }
        if (index + length > size || bytes[index + 1] < low || bytes[index + 1] > high)
        {
            return index;
        }
        for (int next = index + 2; next < index + length; ++next)
        {
            if (bytes[next] < 0x80 || bytes[next] > 0xBF)
            {
                return index;
            }
        }
        index += length;
    }
    return -1;
}

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Whether a decoder, given the whole text at once, finds UTF-8 without a byte order mark well-formed:
// the fuzzer checks First_Invalid_Utf8 against it.
bool Is_Whole_Utf8(const char* bytes, int size)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    decoder.decode(QByteArrayView(bytes, size));
    return !decoder.hasError();
#else
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QTextCodec::codecForMib(106)->toUnicode(bytes, size, &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
#endif
}
#endif

// Decodes bytes piece by piece: the bytes of a character split by a piece's end are kept for the next.
class TDecoder
{
public:
    // UTF-8 without a byte order mark: a U+FEFF is a character, not a mark. A zero byte is decoded (and
    // then refused), not taken as the end of the text.
    void Open_Utf8()
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        decoder = QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
#else
        codec = QTextCodec::codecForMib(106);
        state = std::make_unique<QTextCodec::ConverterState>(QTextCodec::IgnoreHeader);
#endif
    }

    // The encoding data's byte order mark names, else encoding; false when it cannot be read.
    bool Open(const QByteArray& data, const QByteArray& encoding)
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        const auto marked = QStringConverter::encodingForData(data);
        decoder = marked ? QStringDecoder(*marked) : QStringDecoder(encoding.constData());
        return decoder.isValid();
#else
        codec = QTextCodec::codecForUtfText(data, nullptr);
        codec = codec != nullptr ? codec : QTextCodec::codecForName(encoding);
        state = std::make_unique<QTextCodec::ConverterState>();
        return codec != nullptr;
#endif
    }

    QString Decode(const char* bytes, int size)
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        return decoder.decode(QByteArrayView(bytes, size));
#else
        return codec->toUnicode(bytes, size, state.get());
#endif
    }

    // Whether any bytes so far were ones the encoding cannot have.
    bool Has_Error() const
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        return decoder.hasError();
#else
        return state->invalidChars != 0;
#endif
    }

private:
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStringDecoder decoder;
#else
    const QTextCodec* codec = nullptr;
    std::unique_ptr<QTextCodec::ConverterState> state;
#endif
};

// Refuses bytes the encoding cannot have, as the stream reader does, at the character they stand at.
void Set_Encoding_Fault(int line, int column, TXmlFault* fault)
{
    fault->reason = QStringLiteral("Encountered incorrectly encoded content.");
    fault->line = line;
    fault->column = column;
}

// The encoding named by the XML declaration, empty when there is none.
QByteArray Declared_Encoding(const QByteArray& data)
{
    static const QRegularExpression declaration(
        QStringLiteral("^<\\?xml\\s[^>]*?\\bencoding\\s*=\\s*[\"']([A-Za-z][A-Za-z0-9._-]*)[\"']"));
    const QRegularExpressionMatch match = declaration.match(QString::fromLatin1(data.left(200)));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

// Moves a place in a text (its line, and the characters before it on that line) past size characters.
void Move_Place(const QChar* text, int size, int* line, int* column_offset)
{
    for (int index = 0; index < size; ++index)
    {
        if (text[index] == QLatin1Char('\n'))
        {
            ++*line;
            *column_offset = 0;
        }
        else
        {
            ++*column_offset;
        }
    }
}

// Follows the markup of a decoded document just far enough to find what TXmlText refuses, one round
// per piece. A round screens the text carried from the last one and the new piece; markup that may go
// on in the next piece (a reference, a tag, a comment cut off by the piece's end) is left, whole, for
// the next round, so each is judged on all of its text as in a whole document. The depth and the
// place in lines and columns go on from round to round.
class TScreen
{
public:
    // Screens buffer; at_end: no text follows it. False at a fault, with screened set to the text before
    // it (Fault() says what and where). Otherwise screened gets the text screened and consumed how much of
    // buffer it came from: the rest waits for the next round.
    bool Round(const QString& buffer, bool at_end, QString* screened, int* consumed);
    TXmlFault Fault() const { return fault; }

private:
    bool Fail(int at, const QString& why);
    // The markup at hand goes on past the text there is: it is screened next round, with more.
    bool More();
    bool At(int index, QLatin1String literal) const;
    int Find(QLatin1String literal, int from) const;
    bool Reference();
    bool Start_Tag();
    bool Document_Type();
    bool Markup();
    void Count_Lines(int end);

    const QString* text = nullptr;
    const QChar* data = nullptr;
    // Where this round's walk over the markup ends: the buffer, or its first character XML forbids.
    int size = 0;
    // No more text comes before size: markup running up to it is cut short, not waiting for more.
    bool final = false;
    bool need_more = false;
    int position = 0;
    int depth = 0;
    // The line of the buffer's first character, and the characters before it on that line.
    int line = 1;
    int column_offset = 0;
    // Filled only once a character reference is replaced: the text before copied, as changed.
    QString result;
    int copied = 0;
    int fault_position = 0;
    TXmlFault fault;
};

bool TScreen::Fail(int at, const QString& why)
{
    fault_position = at;
    fault.reason = why;
    Count_Lines(at);
    fault.line = line;
    fault.column = column_offset + 1;
    return false;
}

bool TScreen::More()
{
    need_more = true;
    return false;
}

void TScreen::Count_Lines(int end)
{
    Move_Place(data, end, &line, &column_offset);
}

bool TScreen::At(int index, QLatin1String literal) const
{
    if (size - index < literal.size())
    {
        return false;
    }
    for (int offset = 0; offset < literal.size(); ++offset)
    {
        if (data[index + offset] != QLatin1Char(literal.at(offset)))
        {
            return false;
        }
    }
    return true;
}

int TScreen::Find(QLatin1String literal, int from) const
{
    const int found = text->indexOf(literal, from);
    return found < 0 || found > size - literal.size() ? size : found;
}

// At '&' in text or in an attribute value; moves past the reference.
bool TScreen::Reference()
{
    const int start = position;
    // The longest legal reference, "&#x0010FFFF;", is short; anything longer is no reference.
    int end = start + 1;
    while (end < size && end - start <= 32 && data[end] != QLatin1Char(';'))
    {
        ++end;
    }
    if (end >= size && !final)
    {
        return More();
    }
    if (end >= size || data[end] != QLatin1Char(';'))
    {
        return Fail(start,
                    QStringLiteral("'&' starts no complete reference; a literal '&' is written &amp;"));
    }
    const QString written = text->mid(start, end - start + 1);
    if (data[start + 1] != QLatin1Char('#'))
    {
        for (const char* predefined : {"&lt;", "&gt;", "&amp;", "&apos;", "&quot;"})
        {
            if (written == QLatin1String(predefined))
            {
                position = end + 1;
                return true;
            }
        }
        return Fail(start, QStringLiteral("reference %1 to an entity that is not declared").arg(written));
    }

    const bool hexadecimal = data[start + 2] == QLatin1Char('x');
    const int first_digit = start + (hexadecimal ? 3 : 2);
    uint code = 0;
    bool valid = first_digit < end;
    for (int index = first_digit; valid && index < end && code <= 0x10FFFF; ++index)
    {
        const ushort digit = data[index].unicode();
        int value = -1;
        if (digit >= '0' && digit <= '9')
        {
            value = digit - '0';
        }
        else if (hexadecimal && digit >= 'a' && digit <= 'f')
        {
            value = digit - 'a' + 10;
        }
        else if (hexadecimal && digit >= 'A' && digit <= 'F')
        {
            value = digit - 'A' + 10;
        }
        valid = value >= 0;
        code = code * (hexadecimal ? 16 : 10) + uint(qMax(value, 0));
    }
    if (!valid || !Is_Xml_Character(code))
    {
        return Fail(start,
                    QStringLiteral("character reference %1 is not a character XML allows").arg(written));
    }
    if (code > 0xFFFF)
    {
        result.append(data + copied, start - copied);
        result.append(QChar(QChar::highSurrogate(code)));
        result.append(QChar(QChar::lowSurrogate(code)));
        copied = end + 1;
    }
    position = end + 1;
    return true;
}

// At '<' of a start tag; moves past its '>'.
bool TScreen::Start_Tag()
{
    const int start = position;
    ++position;
    int attributes = 0;
    while (position < size && data[position] != QLatin1Char('>'))
    {
        const QChar quote = data[position];
        ++position;
        if (quote != QLatin1Char('"') && quote != QLatin1Char('\''))
        {
            continue;
        }
        // Each attribute has one quoted value.
        if (++attributes > Xml_Max_Attributes)
        {
            return Fail(start, QStringLiteral("an element with more than %1 attributes is not accepted")
                                   .arg(Xml_Max_Attributes));
        }
        while (position < size && data[position] != quote)
        {
            if (data[position] == QLatin1Char('&'))
            {
                if (!Reference())
                {
                    return false;
                }
                continue;
            }
            ++position;
        }
        ++position;
    }
    if (position >= size)
    {
        return final || More(); // unterminated: the parser says so
    }
    const bool empty_element = data[position - 1] == QLatin1Char('/');
    ++position;
    if (!empty_element && ++depth > Xml_Max_Depth)
    {
        return Fail(start, QStringLiteral("elements are nested deeper than %1 levels").arg(Xml_Max_Depth));
    }
    return true;
}

// At "<!DOCTYPE"; moves past its '>'. A name with a public or system identifier is harmless: the
// parser fetches nothing.
bool TScreen::Document_Type()
{
    const int start = position;
    position += 9;
    while (position < size && data[position] != QLatin1Char('>'))
    {
        const QChar character = data[position];
        ++position;
        if (character == QLatin1Char('['))
        {
            return Fail(start, QStringLiteral("a document type declaration with declarations of its own "
                                              "(such as entities) is not accepted"));
        }
        if (character == QLatin1Char('"') || character == QLatin1Char('\''))
        {
            while (position < size && data[position] != character)
            {
                ++position;
            }
            ++position;
        }
    }
    if (position >= size && !final)
    {
        return More();
    }
    ++position;
    return true;
}

// At '<'; moves past the markup it starts.
bool TScreen::Markup()
{
    // "<![CDATA[" is the longest opening told apart below.
    if (!final && size - position < 9)
    {
        return More();
    }
    // Start tags are most of the markup; only '!', '?' and '/' start anything else.
    const ushort next = position + 1 < size ? data[position + 1].unicode() : 0;
    if (next != '!' && next != '?' && next != '/')
    {
        return Start_Tag();
    }
    // Up to its closing literal, or cut short at size.
    const auto skip_to = [this](QLatin1String closing, int from) {
        const int found = Find(closing, from);
        if (found >= size && !final)
        {
            return More();
        }
        position = found + closing.size();
        return true;
    };
    if (At(position, QLatin1String("<!--")))
    {
        return skip_to(QLatin1String("-->"), position + 4);
    }
    if (At(position, QLatin1String("<![CDATA[")))
    {
        return skip_to(QLatin1String("]]>"), position + 9);
    }
    if (At(position, QLatin1String("<!DOCTYPE")))
    {
        return Document_Type();
    }
    if (At(position, QLatin1String("<?")))
    {
        return skip_to(QLatin1String("?>"), position + 2);
    }
    if (At(position, QLatin1String("</")))
    {
        --depth;
        return skip_to(QLatin1String(">"), position + 2);
    }
    if (At(position, QLatin1String("<!")))
    {
        position += 2; // no markup this system writes: the parser refuses or skips it
        return true;
    }
    return Start_Tag();
}

// The markup before a forbidden character is walked too: what lies before the first fault must be
// screened whole, as it may still be read.
bool TScreen::Round(const QString& buffer, bool at_end, QString* screened, int* consumed)
{
    text = &buffer;
    data = buffer.constData();
    int available = buffer.size();
    // The other half of a pair comes with the next piece.
    if (!at_end && available > 0 && data[available - 1].isHighSurrogate())
    {
        --available;
    }
    const int invalid = First_Non_Xml_Character(data, available);
    size = invalid >= 0 ? invalid : available;
    final = at_end || invalid >= 0;
    need_more = false;
    position = 0;
    result.clear();
    copied = 0;
    while (position < size)
    {
        // Where the markup at hand starts, and the state before it, for a round that must wait.
        const int item = position;
        const int depth_before = depth;
        const int result_before = result.size();
        const int copied_before = copied;
        const QChar character = data[position];
        bool screened_item = true;
        if (character == QLatin1Char('<'))
        {
            screened_item = Markup();
        }
        else if (character == QLatin1Char('&'))
        {
            screened_item = Reference();
        }
        else
        {
            ++position;
        }
        if (!screened_item)
        {
            if (!need_more)
            {
                *screened = result.append(data + copied, fault_position - copied);
                return false;
            }
            position = item;
            depth = depth_before;
            result.truncate(result_before);
            copied = copied_before;
            break;
        }
    }
    if (invalid >= 0)
    {
        *screened = result.append(data + copied, invalid - copied);
        return Fail(invalid, QStringLiteral("character %1 is not allowed in XML")
                                 .arg(Code_Point_Text(data[invalid].unicode())));
    }
    const int end = need_more ? position : available;
    *screened = result.append(data + copied, end - copied);
    *consumed = end;
    Count_Lines(end);
    return true;
}
} // namespace

bool Is_Xml_Character(uint code)
{
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

bool Is_Xml_Text(const QString& text)
{
    return First_Non_Xml_Character(text.constData(), text.size()) < 0;
}

bool Screen_Xml_Size(qint64 size, TXmlFault* fault)
{
    Q_ASSERT_X(fault != nullptr, "Screen_Xml_Size", "fault");
    if (size <= Xml_Max_Document_Size)
    {
        return true;
    }
    fault->reason =
        QStringLiteral("the document is larger than %1 MB").arg(Xml_Max_Document_Size / (1024 * 1024));
    fault->line = 1;
    fault->column = 1;
    return false;
}

struct TXmlText::TState
{
    QByteArray data;
    int piece_size = 0;
    TDecoder decoder;
    // The bytes still to decode.
    int position = 0;
    int end = 0;
    // True for a document with an encoding fault: the text before it is given as screened, and the
    // fault's place is counted in it; a screening fault there ends the text, but the encoding fault is
    // the one reported.
    bool encoding_fault = false;
    // Once the screen refused the text before an encoding fault: the rest is only counted.
    bool counting_only = false;
    TScreen screen;
    // Decoded text the screen has yet to take, and how long it must grow before the screen looks again:
    // markup spanning many pieces is then screened again only as often as its text doubles.
    QString pending;
    int wait_for = 0;
    bool done = false;
    bool refused = false;
    TXmlFault fault;
};

TXmlText::TXmlText(const QByteArray& data, int piece_size) : state(std::make_unique<TState>())
{
    TState& read = *state;
    read.data = data;
    read.piece_size = qMax(piece_size, 1);
    read.done = true; // until the document is known to have text to give
    read.refused = true;
    if (!Screen_Xml_Size(data.size(), &read.fault))
    {
        return;
    }

    // A UTF-8 byte order mark is not part of the text.
    const int bom = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const QByteArray encoding = Declared_Encoding(data.mid(bom, 200));
    if (bom > 0 || encoding.isEmpty() || encoding.compare("utf-8", Qt::CaseInsensitive) == 0)
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        const bool other_mark = bom == 0 && QStringConverter::encodingForData(data).has_value() &&
                                *QStringConverter::encodingForData(data) != QStringConverter::Utf8;
#else
        const bool other_mark = bom == 0 && QTextCodec::codecForUtfText(data, nullptr) != nullptr;
#endif
        if (!other_mark)
        {
            // Checked before a piece is given, as an encoding fault outranks every other; the text
            // before it is still read.
            const int invalid = First_Invalid_Utf8(data);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
            if (Is_Whole_Utf8(data.constData() + bom, data.size() - bom) != (invalid < 0))
            {
                qFatal("TXmlText: the decoder and First_Invalid_Utf8 disagree");
            }
#endif
            read.decoder.Open_Utf8();
            read.position = bom;
            read.end = invalid < 0 ? data.size() : qMax(invalid, bom);
            read.encoding_fault = invalid >= 0;
            read.refused = invalid >= 0;
            Set_Encoding_Fault(1, 1, &read.fault);
            read.done = false;
            return;
        }
    }
    if (!read.decoder.Open(data, encoding))
    {
        read.fault.reason =
            QStringLiteral("the encoding '%1' is not supported").arg(QString::fromLatin1(encoding));
        read.fault.line = 1;
        read.fault.column = 1;
        return;
    }
    // Where the fault lies is not known: the whole document is checked before a piece is given.
    TDecoder check;
    check.Open(data, encoding);
    for (int position = 0; position < data.size() && !check.Has_Error(); position += read.piece_size)
    {
        check.Decode(data.constData() + position, qMin(read.piece_size, data.size() - position));
    }
    if (check.Has_Error())
    {
        Set_Encoding_Fault(1, 1, &read.fault);
        return;
    }
    read.end = data.size();
    read.refused = false;
    read.done = false;
}

TXmlText::~TXmlText() = default;

bool TXmlText::Next(QString* piece)
{
    Q_ASSERT_X(piece != nullptr, "TXmlText::Next", "piece");
    TState& read = *state;
    while (!read.done)
    {
        const int size = qMin(read.piece_size, read.end - read.position);
        const QString decoded = read.decoder.Decode(read.data.constData() + read.position, size);
        read.position += size;
        const bool at_end = read.position >= read.end;
        if (read.encoding_fault)
        {
            // The encoding fault stands where the decoded text ends.
            int column_offset = read.fault.column - 1;
            Move_Place(decoded.constData(), int(decoded.size()), &read.fault.line, &column_offset);
            read.fault.column = column_offset + 1;
            if (read.counting_only)
            {
                read.done = at_end;
                continue;
            }
        }
        read.pending += decoded;
        if (!at_end && read.pending.size() < read.wait_for)
        {
            continue;
        }
        QString screened;
        int consumed = 0;
        if (!read.screen.Round(read.pending, at_end, &screened, &consumed))
        {
            read.pending = QString();
            read.refused = true;
            if (read.encoding_fault)
            {
                read.counting_only = true;
                read.done = at_end;
            }
            else
            {
                read.done = true;
                read.fault = read.screen.Fault();
            }
        }
        else
        {
            read.pending.remove(0, consumed);
            read.wait_for = 2 * read.pending.size();
            read.done = at_end;
        }
        if (!screened.isEmpty())
        {
            *piece = screened;
            return true;
        }
    }
    return false;
}

bool TXmlText::Refused(TXmlFault* fault) const
{
    Q_ASSERT_X(fault != nullptr, "TXmlText::Refused", "fault");
    if (state->refused)
    {
        *fault = state->fault;
    }
    return state->refused;
}
