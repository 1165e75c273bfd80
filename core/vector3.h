#ifndef VECTOR3_H
#define VECTOR3_H

// A point or direction in space; the point type of the 3-D interpolations.
class TVector3
{
public:
    double x;
    double y;
    double z;

    TVector3();
    TVector3(const TVector3& other) = default;
    TVector3(const double& x_value, const double& y_value, const double& z_value);
    TVector3& operator=(const TVector3& other) = default;

    double operator[](int index) const;
    double& operator[](int index);

    TVector3& Normalise();
    TVector3& Cross(const TVector3& v);
};

double Dot(const TVector3& v, const TVector3& w);
TVector3 Cross(const TVector3& v, const TVector3& w);

TVector3 operator+(const TVector3& v, const TVector3& w);
TVector3 operator-(const TVector3& v, const TVector3& w);
TVector3 operator*(const TVector3& v, const double& s);
TVector3 operator*(const double& s, const TVector3& v);
TVector3 operator+(const TVector3& v, const double& s);
TVector3 operator+(const double& s, const TVector3& v);
TVector3 operator-(const TVector3& v, const double& s);
TVector3 operator-(const double& s, const TVector3& v);
TVector3 operator/(const TVector3& v, const double& s);

#endif // VECTOR3_H
