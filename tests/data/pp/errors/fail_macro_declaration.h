#define X+1
