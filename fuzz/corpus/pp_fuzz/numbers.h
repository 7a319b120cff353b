/* Numbers in conditions: C's literals, 64-bit arithmetic, precedence and grouping. */
#if 0xffffffffUL == 4294967295 && 017 == 15 && 0b101 == 5 && 10u == 10 && 5LL == 5 && 7ull == 7
literals
#endif
#if 8 - 4 - 2 == 2 && 16 / 4 / 2 == 2 && 1 << 40 == 0x10000000000
left_grouping_and_64_bits
#endif
#if -1 > 0u && -1 < 0
unsigned_conversion
#endif
#if (1 ? 2 : 3) == 2 && (0 ? 2 : 3) == 3 && (1 ^ 3) == 2 && ~0 == -1 && (5 % 3) == 2
operators
#endif
#if 1 || 1 / 0
short_circuit_or
#endif
#if 0 && 1 % 0
#else
short_circuit_and
#endif
#if 'A' == 65 && '\n' == 10 && '\0' == 0 && '\x41' == 65 && '\377' < 0
characters
#endif
#if 0x7fffffffffffffff + 0 > 0 && -9223372036854775807 - 1 < 0
limits
#endif
#if UNDEFINED_NAME == 0 && !UNDEFINED_NAME
undefined_is_zero
#endif
#define LEVEL 3
#if LEVEL >= 2 && (LEVEL * 2 == 6)
macros_in_conditions
#endif
#if 1 && 0 || 1
c_precedence
#endif
