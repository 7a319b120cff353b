namespace n { template <class T, int N = 2> struct V : private B<T>, virtual C { V(); ~V(); operator int() const; T operator[](int) throw(); }; }
using n::V;
using namespace n;
int n::V<int>::get() const { return a::b<int>::c + (int)x; }
