#include "numbertext.h"

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace
{

constexpr int Maximum_Fast_Precision = 9;
// Below these magnitudes value * 10^precision, rounded, fits into 64 bits.
constexpr double Maximum_Fast_Magnitude[Maximum_Fast_Precision + 1] = {1e15, 1e14, 1e13, 1e12, 1e11,
                                                                       1e10, 1e9,  1e8,  1e7,  1e6};
constexpr quint64 Powers_Of_Ten[Maximum_Fast_Precision + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
constexpr int Maximum_Fast_Digits = 30;
constexpr int Maximum_Exact_Power = 22;
constexpr double Exact_Powers_Of_Ten[Maximum_Exact_Power + 1] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

int Qt_Fixed(double value, int precision, char* buffer)
{
    const QByteArray text = QString::number(value, 'f', precision).toLatin1();
    if (text.size() >= Fixed_Text_Capacity)
    {
        return -1;
    }
    std::memcpy(buffer, text.constData(), size_t(text.size()));
    return text.size();
}

bool Is_Digit(char16_t character)
{
    return character >= u'0' && character <= u'9';
}

} // namespace

// A finite double is m * 2^-shift with an integer m below 2^53, so value * 10^precision splits exactly
// into an integer part and a remainder in 128-bit integers: the rounding, ties away from zero as Qt
// rounds them, is decided on exact numbers. Magnitudes whose text would need more than 64 bits of
// digits go to Qt.
int Format_Fixed(double value, int precision, char* buffer)
{
    Q_ASSERT_X(buffer != nullptr, "Format_Fixed", "buffer");
    if (!std::isfinite(value) || !(std::fabs(value) < 1e15))
    {
        return -1;
    }
#ifdef __SIZEOF_INT128__
    if (precision < 0 || precision > Maximum_Fast_Precision ||
        std::fabs(value) >= Maximum_Fast_Magnitude[precision])
    {
        return Qt_Fixed(value, precision, buffer);
    }

    // IEEE 754 binary64: an implicit leading one above 52 stored bits, except for subnormals.
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    const int biased_exponent = int((bits >> 52) & 0x7FF);
    quint64 mantissa = bits & ((quint64(1) << 52) - 1);
    if (biased_exponent != 0)
    {
        mantissa |= quint64(1) << 52;
    }
    const int shift = 1075 - (biased_exponent != 0 ? biased_exponent : 1);
    const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * Powers_Of_Ten[precision];
    quint64 digits = 0;
    if (shift < 128)
    {
        const unsigned __int128 one = 1;
        digits = static_cast<quint64>(scaled >> shift);
        if ((scaled & ((one << shift) - 1)) >= (one << (shift - 1)))
        {
            ++digits;
        }
    }

    // At least one digit before the point; Qt writes a minus for every negative value, even one that
    // rounds to zero, but not for a negative zero.
    char reversed[Fixed_Text_Capacity];
    int count = 0;
    do
    {
        reversed[count++] = char('0' + digits % 10);
        digits /= 10;
    } while (digits != 0 || count <= precision);

    int length = 0;
    if (value < 0.0)
    {
        buffer[length++] = '-';
    }
    while (count > 0)
    {
        if (count == precision)
        {
            buffer[length++] = '.';
        }
        buffer[length++] = reversed[--count];
    }
    return length;
#else
    return Qt_Fixed(value, precision, buffer);
#endif
}

QString Fixed_Text(double value, int precision)
{
    char buffer[Fixed_Text_Capacity];
    const int length = Format_Fixed(value, precision, buffer);
    return length < 0 ? QString::number(value, 'f', precision) : QString::fromLatin1(buffer, length);
}

int Format_Number(double value, int precision, char* buffer)
{
    const int length = Format_Fixed(value, precision, buffer);
    if (length > 0 && buffer[0] == '-' && std::all_of(buffer + 1, buffer + length, [](char character) {
            return character == '0' || character == '.';
        }))
    {
        std::memmove(buffer, buffer + 1, size_t(length - 1));
        return length - 1;
    }
    return length;
}

QString Shown_Number_Text(double value, int precision)
{
    char text[Fixed_Text_Capacity];
    const int length = Format_Number(value, precision, text);
    // Beyond Format_Fixed's reach the value is far from zero.
    return length < 0 ? Fixed_Text(value, precision) : QString::fromLatin1(text, length);
}

// An optional minus, digits, and optionally a point and more digits: nothing else, and not too many
// digits, is read here. Both ways round correctly, so such a text gives the same value either way. Up
// to 2^53 and 22 decimals, the digits and the power of ten are exact doubles and one division rounds
// correctly; longer texts go to the standard library's reader.
double Decimal_Value(QStringView text, bool* ok)
{
    const int length = int(text.size());
    bool is_plain = length > 0 && length <= Maximum_Fast_Digits;
    bool negative = false;
    quint64 digits = 0;
    bool exact = true;
    int decimals = 0;
    int index = 0;
    if (is_plain && text[0] == u'-')
    {
        negative = true;
        ++index;
    }
    const int integer_begin = index;
    bool in_fraction = false;
    for (; is_plain && index < length; ++index)
    {
        const char16_t character = text[index].unicode();
        if (character == u'.' && !in_fraction && index > integer_begin && index + 1 < length)
        {
            in_fraction = true;
            continue;
        }
        is_plain = Is_Digit(character);
        digits = digits * 10 + quint64(character - u'0');
        exact = exact && digits <= (quint64(1) << 53);
        decimals += in_fraction ? 1 : 0;
    }
    is_plain = is_plain && index > integer_begin;
    if (!is_plain)
    {
        return text.toDouble(ok);
    }
    if (ok != nullptr)
    {
        *ok = true;
    }
    if (exact && decimals <= Maximum_Exact_Power)
    {
        const double value = double(digits) / Exact_Powers_Of_Ten[decimals];
        return negative ? -value : value;
    }

    char plain[Maximum_Fast_Digits];
    for (int position = 0; position < length; ++position)
    {
        plain[position] = char(text[position].unicode());
    }
    double value = 0.0;
    std::from_chars(plain, plain + length, value, std::chars_format::fixed);
    return value;
}
