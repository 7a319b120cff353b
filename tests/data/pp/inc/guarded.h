#ifndef GUARDED_H
#define GUARDED_H
#define GUARDED_VALUE guarded
int guarded_declaration;
#endif
