/* Forms installed headers use beyond the plain declarations. */
typedef long unsigned int size_type;
typedef int unsigned count_t;
typedef int line_handler(const char *line, int length);
typedef enum status end_fn(void);
int add_check(int (* const check)(int, const void *));
extern int (library_version)(void);
typedef struct { int x, y; } Point, *PointP;
typedef struct node node;
struct node { node *next; };
typedef struct handle handle;
enum mode { READ }; typedef enum mode mode;
int qualified() { return std::max(a::b::c(1), ::x) + std::size_t(3); }
template <typename T> void deduce(T x) { typedef decltype(x + 1) R; __typeof__(int) y; }
int old_style(count, text, flag) char *text, **flag; long count; { return count; }
char *first, second;
typedef const char *text_t, letter_t;
a::b::c deep_type(void);
enum { SIZE = sizeof(unsigned long int) * 8, HALF = sizeof (SIZE) / 2 };
typedef _Complex float cfloat_t;
double _Complex conjugate(double _Complex z);
inline namespace v1 { constexpr inline int one() { return 1; } }
struct timex { int a : 3; int : 32; int :32, b; };
