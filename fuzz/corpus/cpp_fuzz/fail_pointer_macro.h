#define P (*
int P P P P P P P P P P f))))))))))(void);
