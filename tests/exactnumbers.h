#ifndef EXACTNUMBERS_H
#define EXACTNUMBERS_H

// Exact rational arithmetic for expected values: numbers as written in decimals, or doubles as they are
// held, computed without any rounding, so that no expected value comes from floating point or from the
// code under test. Small and slow, and enough for a few thousand calibrations.

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Exact
{

// An integer of any size: a sign and a magnitude in base 2^32, least significant limb first, without
// leading zero limbs; zero has no limbs and no sign.
class TInteger
{
public:
    TInteger(qint64 value = 0) : negative(value < 0)
    {
        quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
        while (magnitude != 0)
        {
            limbs.push_back(std::uint32_t(magnitude));
            magnitude >>= 32;
        }
    }

    bool Is_Zero() const { return limbs.empty(); }
    int Sign() const { return Is_Zero() ? 0 : negative ? -1 : 1; }
    TInteger operator-() const
    {
        TInteger result = *this;
        result.negative = !negative && !Is_Zero();
        return result;
    }
    TInteger Shifted_Left(int bits) const
    {
        TInteger result;
        result.negative = negative;
        result.limbs.assign(size_t(bits / 32), 0);
        std::uint32_t carry = 0;
        for (const std::uint32_t limb : limbs)
        {
            const std::uint64_t wide = (std::uint64_t(limb) << (bits % 32)) | carry;
            result.limbs.push_back(std::uint32_t(wide));
            carry = bits % 32 == 0 ? 0 : std::uint32_t(wide >> 32);
        }
        result.limbs.push_back(carry);
        result.Trim();
        return result;
    }

    friend TInteger operator+(const TInteger& left, const TInteger& right)
    {
        if (left.negative == right.negative)
        {
            return With_Sign(Add(left.limbs, right.limbs), left.negative);
        }
        if (Compare_Magnitudes(left.limbs, right.limbs) >= 0)
        {
            return With_Sign(Subtract(left.limbs, right.limbs), left.negative);
        }
        return With_Sign(Subtract(right.limbs, left.limbs), right.negative);
    }
    friend TInteger operator-(const TInteger& left, const TInteger& right) { return left + -right; }
    friend TInteger operator*(const TInteger& left, const TInteger& right)
    {
        std::vector<std::uint32_t> product(left.limbs.size() + right.limbs.size(), 0);
        for (size_t i = 0; i < left.limbs.size(); ++i)
        {
            std::uint64_t carry = 0;
            for (size_t j = 0; j < right.limbs.size(); ++j)
            {
                const std::uint64_t wide =
                    std::uint64_t(left.limbs[i]) * right.limbs[j] + product[i + j] + carry;
                product[i + j] = std::uint32_t(wide);
                carry = wide >> 32;
            }
            product[i + right.limbs.size()] = std::uint32_t(carry);
        }
        return With_Sign(product, left.negative != right.negative);
    }
    friend int Compare(const TInteger& left, const TInteger& right) { return (left - right).Sign(); }

    // Roughly, for messages.
    long double Approximate() const
    {
        long double value = 0;
        for (auto limb = limbs.rbegin(); limb != limbs.rend(); ++limb)
        {
            value = value * 4294967296.0L + *limb;
        }
        return negative ? -value : value;
    }

private:
    using TLimbs = std::vector<std::uint32_t>;

    static int Compare_Magnitudes(const TLimbs& left, const TLimbs& right)
    {
        if (left.size() != right.size())
        {
            return left.size() < right.size() ? -1 : 1;
        }
        for (size_t index = left.size(); index-- > 0;)
        {
            if (left[index] != right[index])
            {
                return left[index] < right[index] ? -1 : 1;
            }
        }
        return 0;
    }
    static TLimbs Add(const TLimbs& left, const TLimbs& right)
    {
        TLimbs sum;
        std::uint64_t carry = 0;
        for (size_t index = 0; index < std::max(left.size(), right.size()); ++index)
        {
            const std::uint64_t wide = std::uint64_t(index < left.size() ? left[index] : 0) +
                                       (index < right.size() ? right[index] : 0) + carry;
            sum.push_back(std::uint32_t(wide));
            carry = wide >> 32;
        }
        sum.push_back(std::uint32_t(carry));
        return sum;
    }
    // larger - smaller, magnitudes.
    static TLimbs Subtract(const TLimbs& larger, const TLimbs& smaller)
    {
        TLimbs difference;
        std::int64_t borrow = 0;
        for (size_t index = 0; index < larger.size(); ++index)
        {
            std::int64_t wide =
                std::int64_t(larger[index]) - (index < smaller.size() ? smaller[index] : 0) - borrow;
            borrow = wide < 0 ? 1 : 0;
            difference.push_back(std::uint32_t(wide + (borrow << 32)));
        }
        return difference;
    }
    static TInteger With_Sign(const TLimbs& magnitude, bool negative)
    {
        TInteger result;
        result.limbs = magnitude;
        result.negative = negative;
        result.Trim();
        return result;
    }
    void Trim()
    {
        while (!limbs.empty() && limbs.back() == 0)
        {
            limbs.pop_back();
        }
        negative = negative && !limbs.empty();
    }

    bool negative = false;
    TLimbs limbs;
};

// A fraction with a positive denominator, never reduced: the tests compare and never print them.
class TRational
{
public:
    TRational(qint64 value = 0) : numerator(value), denominator(1) {}
    TRational(const TInteger& top, const TInteger& bottom) : numerator(top), denominator(bottom)
    {
        if (denominator.Sign() < 0)
        {
            numerator = -numerator;
            denominator = -denominator;
        }
    }

    // The value a finite double holds.
    static TRational Of_Double(double value)
    {
        int exponent = 0;
        const double fraction = std::frexp(value, &exponent);
        // fraction * 2^53 is an integer below 2^53 in magnitude.
        const TInteger mantissa(qint64(std::ldexp(fraction, 53)));
        exponent -= 53;
        return exponent >= 0 ? TRational(mantissa.Shifted_Left(exponent), 1)
                             : TRational(mantissa, TInteger(1).Shifted_Left(-exponent));
    }
    // A decimal text such as "-176.58", "0.00775059" or "-4e-05"; place receives the value of a unit
    // in its last digit (0.01, 1e-08, 1e-05).
    static TRational Of_Decimal(const QString& text, TRational* place = nullptr)
    {
        const int e = text.indexOf('e');
        const QString mantissa = e < 0 ? text : text.left(e);
        const int exponent = e < 0 ? 0 : text.mid(e + 1).toInt();
        const int point = mantissa.indexOf('.');
        const int decimals = point < 0 ? 0 : mantissa.size() - point - 1;
        TInteger digits;
        for (const QChar character : mantissa)
        {
            if (character.isDigit())
            {
                digits = digits * TInteger(10) + TInteger(character.digitValue());
            }
        }
        if (mantissa.startsWith('-'))
        {
            digits = -digits;
        }
        const TRational unit = Power_Of_Ten(exponent - decimals);
        if (place != nullptr)
        {
            *place = unit;
        }
        return TRational(digits, 1) * unit;
    }
    static TRational Power_Of_Ten(int exponent)
    {
        TInteger power(1);
        for (int count = 0; count < std::abs(exponent); ++count)
        {
            power = power * TInteger(10);
        }
        return exponent >= 0 ? TRational(power, 1) : TRational(1, power);
    }

    int Sign() const { return numerator.Sign(); }
    TRational Absolute() const { return Sign() < 0 ? -*this : *this; }
    TRational operator-() const { return TRational(-numerator, denominator); }
    friend TRational operator+(const TRational& left, const TRational& right)
    {
        return TRational(left.numerator * right.denominator + right.numerator * left.denominator,
                         left.denominator * right.denominator);
    }
    friend TRational operator-(const TRational& left, const TRational& right) { return left + -right; }
    friend TRational operator*(const TRational& left, const TRational& right)
    {
        return TRational(left.numerator * right.numerator, left.denominator * right.denominator);
    }
    friend TRational operator/(const TRational& left, const TRational& right)
    {
        return TRational(left.numerator * right.denominator, left.denominator * right.numerator);
    }
    friend int Compare(const TRational& left, const TRational& right)
    {
        return Compare(left.numerator * right.denominator, right.numerator * left.denominator);
    }
    friend bool operator<(const TRational& left, const TRational& right) { return Compare(left, right) < 0; }
    friend bool operator<=(const TRational& left, const TRational& right)
    {
        return Compare(left, right) <= 0;
    }
    friend bool operator==(const TRational& left, const TRational& right)
    {
        return Compare(left, right) == 0;
    }

    // Roughly, for messages.
    double Approximate() const { return double(numerator.Approximate() / denominator.Approximate()); }

private:
    TInteger numerator;
    TInteger denominator;
};

// Whether printed is exact rounded to printed's last digit, give or take slack: |exact - printed| at
// most half a unit of that digit (an exact tie may go either way) plus slack.
inline bool Is_Rounding_Of(const TRational& exact, const QString& printed,
                           const TRational& slack = TRational())
{
    TRational place;
    const TRational value = TRational::Of_Decimal(printed, &place);
    return (exact - value).Absolute() <= place / TRational(2) + slack;
}

// A parabola a t^2 + b t + c with exact coefficients.
struct TParabola
{
    TRational a;
    TRational b;
    TRational c;

    TRational At(const TRational& t) const { return (a * t + b) * t + c; }
};

// The parabola through three points, from Lagrange's formula multiplied out.
inline TParabola Parabola_Through(const TRational x[3], const TRational y[3])
{
    TParabola parabola;
    for (int i = 0; i < 3; ++i)
    {
        const TRational& first = x[(i + 1) % 3];
        const TRational& second = x[(i + 2) % 3];
        // y (t - first) (t - second) / ((x - first) (x - second))
        const TRational scale = y[i] / ((x[i] - first) * (x[i] - second));
        parabola.a = parabola.a + scale;
        parabola.b = parabola.b - scale * (first + second);
        parabola.c = parabola.c + scale * first * second;
    }
    return parabola;
}

// A calibration as written in a calibration file: three test points in decimals, (reference, deviation).
struct TDecimalPoints
{
    QString x[3];
    QString y[3];

    TParabola Exact_Curve() const
    {
        const TRational xs[3] = {TRational::Of_Decimal(x[0]), TRational::Of_Decimal(x[1]),
                                 TRational::Of_Decimal(x[2])};
        const TRational ys[3] = {TRational::Of_Decimal(y[0]), TRational::Of_Decimal(y[1]),
                                 TRational::Of_Decimal(y[2])};
        return Parabola_Through(xs, ys);
    }
    TRational Exact_Deviation(const TRational& t) const { return Exact_Curve().At(t); }
};

// Seeded calibrations of three kinds, all usable (test points at least a hundredth apart, spanning at
// least a degree): ordinary ones within 0 to 40 degrees, ones with two test points 0.01 to 0.1 degrees
// apart anywhere from -50 to 300 degrees, and wide ones from -100 to 600 degrees deviating by up to 3.
// References in hundredths, deviations in ten-thousandths.
template <typename TGenerator> TDecimalPoints Random_Points(TGenerator& generator)
{
    const auto units = [&generator](qint64 low, qint64 high) {
        return low + qint64(generator() % quint64(high - low + 1));
    };
    const auto text = [](qint64 units, int decimals) {
        const QString digits = QString::number(std::abs(units)).rightJustified(decimals + 1, '0');
        return (units < 0 ? "-" : "") + digits.left(digits.size() - decimals) + "." + digits.right(decimals);
    };
    qint64 x[3];
    qint64 deviation_limit = 5000;
    switch (generator() % 3)
    {
    case 0:
        x[0] = units(0, 3000);
        x[1] = x[0] + units(100, 1000);
        x[2] = x[1] + units(100, 1000);
        break;
    case 1:
    {
        const qint64 close = units(-5000, 30000);
        const qint64 step = units(1, 10);
        const qint64 away = units(100, 3000);
        const bool close_below = generator() % 2 == 0;
        x[0] = close_below ? close : close - away;
        x[1] = close_below ? close + step : close;
        x[2] = close_below ? close + step + away : close + step;
        break;
    }
    default:
        x[0] = units(-10000, 50000);
        x[1] = x[0] + units(50, 5000);
        x[2] = x[1] + units(50, 5000);
        deviation_limit = 30000;
        break;
    }
    TDecimalPoints points;
    for (int i = 0; i < 3; ++i)
    {
        points.x[i] = text(x[i], 2);
        points.y[i] = text(units(-deviation_limit, deviation_limit), 4);
    }
    return points;
}

} // namespace Exact

#endif // EXACTNUMBERS_H
