/* Variadic macros, GNU's named form and its comma rule. */
#define LOG(fmt, ...) printf(fmt, __VA_ARGS__)
#define LOG2(fmt, ...) printf(fmt, ## __VA_ARGS__)
#define ALL(...) { __VA_ARGS__ }
#define NAMED(args...) call(args)
#define COUNT(...) #__VA_ARGS__
#define STR(x) #x
LOG("a", 1, 2) LOG2("b") LOG2("c", 3) ALL() ALL(1) ALL(1, (2, 3), 4)
NAMED(x, y) NAMED() COUNT(a, b , c)
