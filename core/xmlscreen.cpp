#include "xmlscreen.h"

#include <QRegularExpression>
#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

namespace
{

// Index of the first character XML forbids, or -1.
int First_Non_Xml_Character(const QString& text)
{
    const QChar* const data = text.constData();
    const int size = text.size();
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

// Decodes UTF-8 without a byte order mark; false when a byte is not well-formed UTF-8 (as
// First_Invalid_Utf8 judges it, the decoders' own rule) or a sequence is cut short at the end. A zero
// byte is decoded (and then refused), not taken as the end of the text.
bool Decode_Utf8(const char* bytes, int size, QString* text)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    *text = decoder.decode(QByteArrayView(bytes, size));
    return !decoder.hasError();
#else
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    *text = QTextCodec::codecForMib(106)->toUnicode(bytes, size, &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
#endif
}

// Refuses bytes the encoding cannot have, as the stream reader does, at the character they stand at.
bool Encoding_Fault(const QString& decoded_before, TXmlFault* fault)
{
    fault->reason = QStringLiteral("Encountered incorrectly encoded content.");
    fault->line = 1 + decoded_before.count(QLatin1Char('\n'));
    fault->column = decoded_before.size() - decoded_before.lastIndexOf(QLatin1Char('\n'));
    return false;
}

// The encoding named by the XML declaration, empty when there is none.
QByteArray Declared_Encoding(const QByteArray& data)
{
    static const QRegularExpression declaration(
        QStringLiteral("^<\\?xml\\s[^>]*?\\bencoding\\s*=\\s*[\"']([A-Za-z][A-Za-z0-9._-]*)[\"']"));
    const QRegularExpressionMatch match = declaration.match(QString::fromLatin1(data.left(200)));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

// One pass over a decoded document that follows its markup just far enough to find what
// Screen_Xml_Text refuses.
class TScreen
{
public:
    explicit TScreen(const QString& document_text)
        : text(document_text), data(document_text.constData()), size(document_text.size())
    {
    }

    bool Run();
    bool Has_Replaced() const { return replaced; }
    QString Result();
    // After a fault: the text before it, as screened.
    QString Result_Before_Fault();
    TXmlFault Fault() const;

private:
    bool Fail(int at, const QString& why);
    bool At(int index, QLatin1String literal) const;
    int Find(QLatin1String literal, int from) const;
    bool Reference();
    bool Start_Tag();
    bool Document_Type();
    bool Markup();

    const QString& text;
    const QChar* const data;
    // Where the walk over the markup ends: the whole text, or the first character XML forbids.
    int size;
    int position = 0;
    int depth = 0;
    // Filled only once a character reference is replaced: the text before copied, as changed.
    QString result;
    int copied = 0;
    bool replaced = false;
    QString reason;
    int fault_position = 0;
};

bool TScreen::Fail(int at, const QString& why)
{
    reason = why;
    fault_position = at;
    return false;
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
    const int found = text.indexOf(literal, from);
    return found < 0 || found > size - literal.size() ? size : found;
}

QString TScreen::Result()
{
    result.append(data + copied, size - copied);
    copied = size;
    return result;
}

QString TScreen::Result_Before_Fault()
{
    result.append(data + copied, fault_position - copied);
    copied = fault_position;
    return result;
}

TXmlFault TScreen::Fault() const
{
    TXmlFault fault;
    fault.reason = reason;
    fault.line = 1;
    int line_start = 0;
    for (int index = 0; index < fault_position; ++index)
    {
        if (data[index] == QLatin1Char('\n'))
        {
            ++fault.line;
            line_start = index + 1;
        }
    }
    fault.column = fault_position - line_start + 1;
    return fault;
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
    if (end >= size || data[end] != QLatin1Char(';'))
    {
        return Fail(start,
                    QStringLiteral("'&' starts no complete reference; a literal '&' is written &amp;"));
    }
    const QString written = text.mid(start, end - start + 1);
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
        replaced = true;
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
        return true; // unterminated: the parser says so
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
    ++position;
    return true;
}

// At '<'; moves past the markup it starts.
bool TScreen::Markup()
{
    // Start tags are most of the markup; only '!', '?' and '/' start anything else.
    const ushort next = position + 1 < size ? data[position + 1].unicode() : 0;
    if (next != '!' && next != '?' && next != '/')
    {
        return Start_Tag();
    }
    if (At(position, QLatin1String("<!--")))
    {
        position = Find(QLatin1String("-->"), position + 4) + 3;
    }
    else if (At(position, QLatin1String("<![CDATA[")))
    {
        position = Find(QLatin1String("]]>"), position + 9) + 3;
    }
    else if (At(position, QLatin1String("<!DOCTYPE")))
    {
        return Document_Type();
    }
    else if (At(position, QLatin1String("<?")))
    {
        position = Find(QLatin1String("?>"), position + 2) + 2;
    }
    else if (At(position, QLatin1String("</")))
    {
        --depth;
        position = Find(QLatin1String(">"), position + 2) + 1;
    }
    else if (At(position, QLatin1String("<!")))
    {
        position += 2; // no markup this system writes: the parser refuses or skips it
    }
    else
    {
        return Start_Tag();
    }
    return true;
}

// The markup before a forbidden character is walked too: what lies before the first fault must be
// screened whole, as it may still be read.
bool TScreen::Run()
{
    const int invalid = First_Non_Xml_Character(text);
    size = invalid >= 0 ? invalid : text.size();
    while (position < size)
    {
        const QChar character = data[position];
        if (character == QLatin1Char('<'))
        {
            if (!Markup())
            {
                return false;
            }
        }
        else if (character == QLatin1Char('&'))
        {
            if (!Reference())
            {
                return false;
            }
        }
        else
        {
            ++position;
        }
    }
    if (invalid >= 0)
    {
        return Fail(invalid, QStringLiteral("character %1 is not allowed in XML")
                                 .arg(Code_Point_Text(data[invalid].unicode())));
    }
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
    return First_Non_Xml_Character(text) < 0;
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

bool Decode_Xml_Data(const QByteArray& data, QString* text, TXmlFault* fault)
{
    Q_ASSERT_X(text != nullptr, "Decode_Xml_Data", "text");
    Q_ASSERT_X(fault != nullptr, "Decode_Xml_Data", "fault");
    if (!Screen_Xml_Size(data.size(), fault))
    {
        return false;
    }

    // A UTF-8 byte order mark is not part of the text.
    const int bom = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const QByteArray encoding = Declared_Encoding(data.mid(bom));
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
            // The decoder checks as it goes; only a file it refuses is walked again, for the place.
            const bool well_formed = Decode_Utf8(data.constData() + bom, data.size() - bom, text);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
            if (well_formed != (First_Invalid_Utf8(data) < 0))
            {
                qFatal("Decode_Xml_Data: the decoder and First_Invalid_Utf8 disagree");
            }
#endif
            if (well_formed)
            {
                return true;
            }
            const int invalid = First_Invalid_Utf8(data);
            *text = QString::fromUtf8(data.constData() + bom, qMax(invalid, bom) - bom);
            return Encoding_Fault(*text, fault);
        }
    }
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const auto marked = QStringConverter::encodingForData(data);
    QStringDecoder decoder = marked ? QStringDecoder(*marked) : QStringDecoder(encoding.constData());
    if (decoder.isValid())
    {
        *text = decoder.decode(data);
        if (decoder.hasError())
        {
            text->clear(); // where the fault lies is not known
            return Encoding_Fault(QString(), fault);
        }
        return true;
    }
#else
    const QTextCodec* codec = QTextCodec::codecForUtfText(data, nullptr);
    codec = codec != nullptr ? codec : QTextCodec::codecForName(encoding);
    if (codec != nullptr)
    {
        QTextCodec::ConverterState state;
        *text = codec->toUnicode(data.constData(), data.size(), &state);
        if (state.invalidChars != 0)
        {
            text->clear(); // where the fault lies is not known
            return Encoding_Fault(QString(), fault);
        }
        return true;
    }
#endif
    text->clear();
    fault->reason = QStringLiteral("the encoding '%1' is not supported").arg(QString::fromLatin1(encoding));
    fault->line = 1;
    fault->column = 1;
    return false;
}

bool Screen_Xml_Text(QString* text, TXmlFault* fault)
{
    Q_ASSERT_X(text != nullptr, "Screen_Xml_Text", "text");
    Q_ASSERT_X(fault != nullptr, "Screen_Xml_Text", "fault");

    TScreen screen(*text);
    if (!screen.Run())
    {
        *fault = screen.Fault();
        *text = screen.Result_Before_Fault();
        return false;
    }
    if (screen.Has_Replaced())
    {
        *text = screen.Result();
    }
    return true;
}
