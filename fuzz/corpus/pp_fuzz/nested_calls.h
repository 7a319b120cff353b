#define F(x) F(F(x))
F(F(F(F(1))))
SELF
#define G(x) x
G(G(G(G(G(G(G(G(G(G(G(G(G(1)))))))))))))
