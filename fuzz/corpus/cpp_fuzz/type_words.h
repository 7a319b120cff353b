long unsigned int a; int unsigned b; short long c; long long long d; unsigned signed e; long double f;
