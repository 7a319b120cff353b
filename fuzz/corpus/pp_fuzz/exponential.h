#define A0 x x
#define A1 A0 A0
#define A2 A1 A1
#define A3 A2 A2
#define A4 A3 A3
#define A5 A4 A4
#define A6 A5 A5
#define A7 A6 A6
#define A8 A7 A7
#define A9 A8 A8
#define B A9 A9
#define C B B B B B B B B
#define D C C C C C C C C
D D D D
