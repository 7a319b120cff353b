// Inline bodies: the C-style statement grammar and expressions.
static inline int sum(const int *v, int n) {
    int total = 0;
    for (int i = 0; i < n; ++i) total += v[i];
    if (n > 0 && v[0] < 0) { total = -total; } else total++;
    while (n--) ;
    do { n++; } while (n < 0);
    switch (n) { case 1: return 1; default: break; }
    return (int)total + sizeof(int);
}
inline const wchar_t *wide() { return L"wide"; }
inline char *copy(const char *s) { char *d = new char[4]; delete[] d; return s ? (char *)s : 0; }
