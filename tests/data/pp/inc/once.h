#pragma once
#define ONCE_VALUE once
int once_declaration;
