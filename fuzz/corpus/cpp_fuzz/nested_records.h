typedef struct { struct { union { int a; } u; } s; } T, *PT, A[3];
T x = { { { 1 } } }, y[2] = {};
