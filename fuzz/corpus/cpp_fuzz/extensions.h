/* Compiler extensions that carry nothing for the language are dropped. */
__extension__ typedef long long wide_t;
extern int open_file(const char *__restrict path, int flags) __attribute__((__nonnull__(1)));
extern int renamed(void) __asm__("" "real_name");
__inline int twice(int x) { return x * 2; }
struct holder {
    union { int as_int; float as_float; };
    struct { int a, b; } pair;
};
