// Support header of the C++ that vorn generates; every generated file includes it first.
// Gives the prelude that programs use without importing anything: the capitalised type names,
// Vector and Map for the vector and map types, and the C standard output functions.
// Must stay warning-free on its own with g++ and clang++ at -std=c++17 -Wall -Wextra.
#ifndef VORN_BASE_HPP
#define VORN_BASE_HPP

#include <boost/shared_ptr.hpp>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// The built-in library names these types by the C++ spelling behind them; the typedefs keep
// code compiling that still carries the capitalised names.
typedef void Void;
typedef bool Bool;
typedef char Char;
typedef unsigned char UChar;
typedef short Short;
typedef unsigned short UShort;
typedef int Int;
typedef unsigned int UInt;
typedef long Long;
typedef unsigned long ULong;
typedef float Float;
typedef double Double;
typedef std::string String;

// The classes behind [T] and K -> V.
template <class T>
using Vector = std::vector<T>;
template <class K, class V>
using Map = std::map<K, V>;

// printf, puts and putchar come from <cstdio> in the global namespace; true and false are C++'s.
using std::printf;
using std::putchar;
using std::puts;

#endif
