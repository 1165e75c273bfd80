#include "vector3.h"

#include <QtGlobal>

#include <cmath>
#include <limits>

TVector3::TVector3() : x(0.0), y(0.0), z(0.0) {}

TVector3::TVector3(const double& x_value, const double& y_value, const double& z_value)
    : x(x_value), y(y_value), z(z_value)
{
}

double TVector3::operator[](int index) const
{
    switch (index)
    {
    case 0:
        return x;
    case 1:
        return y;
    case 2:
        return z;
    }
    Q_ASSERT_X(false, "TVector3::operator[](index)", "false");
    return 0.0;
}

double& TVector3::operator[](int index)
{
    switch (index)
    {
    case 0:
        return x;
    case 1:
        return y;
    case 2:
        return z;
    }
    Q_ASSERT_X(false, "TVector3::operator[](index)", "false");
    return x;
}

TVector3& TVector3::Normalise()
{
    const double Length = std::sqrt(x * x + y * y + z * z);
    Q_ASSERT_X(Length > std::numeric_limits<double>::epsilon(), "TVector3::Normalise",
               "Length > std::numeric_limits<double>::epsilon()");
    x /= Length;
    y /= Length;
    z /= Length;
    return *this;
}

TVector3& TVector3::Cross(const TVector3& v)
{
    // Taken from copies so that crossing a vector with itself gives the zero vector.
    const TVector3 u(*this);
    const TVector3 w(v);
    x = u.y * w.z - u.z * w.y;
    y = u.z * w.x - u.x * w.z;
    z = u.x * w.y - u.y * w.x;
    return *this;
}

double Dot(const TVector3& v, const TVector3& w)
{
    return v.x * w.x + v.y * w.y + v.z * w.z;
}

TVector3 Cross(const TVector3& v, const TVector3& w)
{
    TVector3 result(v);
    return result.Cross(w);
}

TVector3 operator+(const TVector3& v, const TVector3& w)
{
    return TVector3(v.x + w.x, v.y + w.y, v.z + w.z);
}

TVector3 operator-(const TVector3& v, const TVector3& w)
{
    return TVector3(v.x - w.x, v.y - w.y, v.z - w.z);
}

TVector3 operator*(const TVector3& v, const double& s)
{
    return TVector3(v.x * s, v.y * s, v.z * s);
}

TVector3 operator*(const double& s, const TVector3& v)
{
    return TVector3(s * v.x, s * v.y, s * v.z);
}

TVector3 operator+(const TVector3& v, const double& s)
{
    return TVector3(v.x + s, v.y + s, v.z + s);
}

TVector3 operator+(const double& s, const TVector3& v)
{
    return TVector3(s + v.x, s + v.y, s + v.z);
}

TVector3 operator-(const TVector3& v, const double& s)
{
    return TVector3(v.x - s, v.y - s, v.z - s);
}

TVector3 operator-(const double& s, const TVector3& v)
{
    return TVector3(s - v.x, s - v.y, s - v.z);
}

TVector3 operator/(const TVector3& v, const double& d)
{
    Q_ASSERT_X(d > std::numeric_limits<double>::epsilon(), "operator/(TVector3, double)",
               "d > std::numeric_limits<double>::epsilon()");
    return TVector3(v.x / d, v.y / d, v.z / d);
}
