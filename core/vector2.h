#ifndef VECTOR2_H
#define VECTOR2_H

// A point or direction in the plane. The fitting routines take sequences of these, and a
// thermometer's test points are stored as (reference temperature, deviation).
class TVector2
{
public:
    double x;
    double y;

    TVector2();
    TVector2(const TVector2& other) = default;
    TVector2(const double& x_value, const double& y_value);
    TVector2& operator=(const TVector2& other) = default;

    double operator[](int index) const;
    double& operator[](int index);

    TVector2& Normalise();
};

double Dot(const TVector2& v, const TVector2& w);

TVector2 operator+(const TVector2& v, const TVector2& w);
TVector2 operator-(const TVector2& v, const TVector2& w);
TVector2 operator*(const TVector2& v, const double& s);
TVector2 operator*(const double& s, const TVector2& v);
TVector2 operator+(const TVector2& v, const double& s);
TVector2 operator+(const double& s, const TVector2& v);
TVector2 operator-(const TVector2& v, const double& s);
TVector2 operator-(const double& s, const TVector2& v);
TVector2 operator/(const TVector2& v, const double& s);

// Barycentric sign test: points on edges a-b and a-c are outside, points on edge b-c inside.
bool Is_Point_In_Triangle(const TVector2& p, const TVector2& a, const TVector2& b, const TVector2& c);

#endif // VECTOR2_H
