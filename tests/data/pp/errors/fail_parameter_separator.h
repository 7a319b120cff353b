#define X(a b) a
