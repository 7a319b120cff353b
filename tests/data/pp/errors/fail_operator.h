#if 1 ^^ 1
#endif
