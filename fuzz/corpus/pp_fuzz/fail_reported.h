#define
#define 1 x
#undef
#ifdef
#endif
#ifndef "x"
#endif
#else
#elif 1
#endif
#frobnicate
still_read
#if 1 / 0
#endif
#if 1 % 0
#endif
