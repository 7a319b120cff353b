#include <stdio.h
