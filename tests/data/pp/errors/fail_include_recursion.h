#include "fail_include_recursion.h"
