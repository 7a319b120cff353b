// Classes, namespaces, templates and the special member functions.
namespace geo {
class B {};
class C {};
class A : public B, virtual C {
    int hidden;
public:
    A(int x);
    A(const A& other) : hidden(other.hidden) {}
    ~A();
    virtual void draw() const = 0;
    A& operator+(const A& other);
    int operator()(int i);
    int operator[](int i) const throw();
    operator bool() const;
    static int count;
    friend class B;
protected:
    mutable int cache;
};
struct S { int open; };
template <typename T, int N = 4>
class Array {
public:
    T items[N];
    T get(int i) const { return items[i]; }
};
template <class T>
T maximum(T a, T b);
}
using geo::A;
using namespace geo;
int use(std::vector<int> v, geo::Array<int, 3> a);
