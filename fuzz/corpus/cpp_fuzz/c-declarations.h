/* What C headers declare: basic type words, typedefs, records, arrays, bit fields. */
#ifdef __cplusplus
extern "C" {
#endif
typedef unsigned long ul_t;
typedef unsigned u_t;
typedef unsigned char byte, *bytep;
typedef long long ll_t;
typedef short int si_t;
typedef long int li_t;
typedef void (*free_func)(void *opaque, void *address);
typedef struct point_s {
    int x, y;
    unsigned flags : 3;
    char name[16];
} point;
typedef struct { double re; double im; } complex_t;
struct node;
struct node *next_node(struct node *n);
enum colour { RED, GREEN = 2, BLUE, };
union value { int i; float f; };
extern const char *version(void);
int printf_like(const char *format, ...);
extern int table[3][4];
static const int answers[] = {1, {2, 3}};
#ifdef __cplusplus
}
#endif
