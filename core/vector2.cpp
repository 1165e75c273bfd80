#include "vector2.h"

#include <QtGlobal>

#include <cmath>
#include <limits>

TVector2::TVector2() : x(0.0), y(0.0) {}

TVector2::TVector2(const double& x_value, const double& y_value) : x(x_value), y(y_value) {}

double TVector2::operator[](int index) const
{
    switch (index)
    {
    case 0:
        return x;
    case 1:
        return y;
    }
    Q_ASSERT_X(false, "TVector2::operator[](index)", "false");
    return 0.0;
}

double& TVector2::operator[](int index)
{
    switch (index)
    {
    case 0:
        return x;
    case 1:
        return y;
    }
    Q_ASSERT_X(false, "TVector2::operator[](index)", "false");
    return x;
}

TVector2& TVector2::Normalise()
{
    const double Length = std::sqrt(x * x + y * y);
    Q_ASSERT_X(Length > std::numeric_limits<double>::epsilon(), "TVector2::Normalise",
               "Length > std::numeric_limits<double>::epsilon()");
    x /= Length;
    y /= Length;
    return *this;
}

double Dot(const TVector2& v, const TVector2& w)
{
    return v.x * w.x + v.y * w.y;
}

TVector2 operator+(const TVector2& v, const TVector2& w)
{
    return TVector2(v.x + w.x, v.y + w.y);
}

TVector2 operator-(const TVector2& v, const TVector2& w)
{
    return TVector2(v.x - w.x, v.y - w.y);
}

TVector2 operator*(const TVector2& v, const double& s)
{
    return TVector2(v.x * s, v.y * s);
}

TVector2 operator*(const double& s, const TVector2& v)
{
    return TVector2(s * v.x, s * v.y);
}

TVector2 operator+(const TVector2& v, const double& s)
{
    return TVector2(v.x + s, v.y + s);
}

TVector2 operator+(const double& s, const TVector2& v)
{
    return TVector2(s + v.x, s + v.y);
}

TVector2 operator-(const TVector2& v, const double& s)
{
    return TVector2(v.x - s, v.y - s);
}

TVector2 operator-(const double& s, const TVector2& v)
{
    return TVector2(s - v.x, s - v.y);
}

TVector2 operator/(const TVector2& v, const double& d)
{
    Q_ASSERT_X(d > std::numeric_limits<double>::epsilon(), "operator/(TVector2, double)",
               "d > std::numeric_limits<double>::epsilon()");
    return TVector2(v.x / d, v.y / d);
}

bool Is_Point_In_Triangle(const TVector2& p, const TVector2& a, const TVector2& b, const TVector2& c)
{
    double s = a.y * c.x - a.x * c.y + (c.y - a.y) * p.x + (a.x - c.x) * p.y;
    double t = a.x * b.y - a.y * b.x + (a.y - b.y) * p.x + (b.x - a.x) * p.y;

    if ((s < 0) != (t < 0))
    {
        return false;
    }

    double area = -b.y * c.x + a.y * (c.x - b.x) + a.x * (b.y - c.y) + b.x * c.y;
    if (area < 0)
    {
        s = -s;
        t = -t;
        area = -area;
    }
    return s > 0 && t > 0 && s + t <= area;
}
