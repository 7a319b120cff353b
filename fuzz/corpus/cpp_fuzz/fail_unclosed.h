int f(;
int g(void);
struct { int a; 
