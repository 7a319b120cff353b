/* "true" is 1 in a condition, and __cplusplus is the C++ the output is compiled as. */
#if true
true_is_one
#endif
#if __cplusplus >= 201103L
cplusplus_branch
#endif
#ifdef __cplusplus
extern "C" {
#endif
