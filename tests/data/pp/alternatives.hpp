// C++'s operator words in conditions (this file is compared with g++, which reads C++).
#if 1 and 0
and_wrong
#endif
#if 0 or 2
or_right
#endif
#if not 0 and not defined NOT_DEFINED
not_right
#endif
#if (6 bitand 3) == 2 and (4 bitor 1) == 5 and (6 xor 3) == 5 and compl 0 == -1
bits_right
#endif
#if 1 not_eq 2
not_eq_right
#endif
