#define X(a, const) a
