#define NEXT_FROM_B from_b
int next_b;
