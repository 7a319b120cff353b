#pragma once
#include <cstdio>
namespace geo {
enum class Unit { Metre, Foot };
enum Shape : int { circle = 1, square = 2 };
class Counter {
public:
    explicit Counter(int start = 0) : value(start) {}
    int get_count() const { return value; }
    void add(int n = 1) { value += n; }
    void add(double n) { value += static_cast<int>(n * 10); }
    static int made() { return 7; }
private:
    int value;
};
inline double toMetres(double x, Unit unit = Unit::Metre) { return unit == Unit::Foot ? x * 0.3048 : x; }
inline int area(int w, int h) { return w * h; }
inline double area(double r) { return 3.0 * r * r; }
template <typename T> T biggest(T a, T b) { return a < b ? b : a; }
}
