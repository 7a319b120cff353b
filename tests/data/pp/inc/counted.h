#ifdef COUNT_VALUE
#undef COUNT_VALUE
#define COUNT_VALUE second_time
#else
#define COUNT_VALUE first_time
#endif
int counted_declaration;
