#!/usr/bin/env python3
"""Writes a large C header for timing preprocessors.

  gen_header.py macros SIZE OUT   SIZE bytes: 20,000 macros used through 150 levels of #if,
                                  each use expanding to hundreds of tokens
  gen_header.py plain SIZE OUT    SIZE bytes of declarations with few macros
"""
import sys


def macros(size, out):
    out.write("#define CAT(a, b) a##b\n#define TWICE(x) x x\n")
    for i in range(20000):
        out.write(f"#define V{i} ({i} + 1)\n")
    # Each level opens a condition on the macros defined so far; the text inside uses them.
    for level in range(150):
        out.write(f"#if V{level} > 0 && defined(V{level + 1})\n")
    i = 0
    while out.tell() < size:
        n = i % 20000
        out.write(f"int CAT(f, {i})(int a) {{ return TWICE(TWICE(TWICE(TWICE(V{n} * a)))) + V{(n * 7) % 20000}; }}\n")
        i += 1
    for level in range(150):
        out.write("#endif\n")


def plain(size, out):
    out.write("#define API extern\n")
    i = 0
    while out.tell() < size:
        out.write(f"API int function_{i}(const char* name, unsigned long count, double* values);\n"
                  f"struct record_{i} {{ int id; const char* label; struct record_{i}* next; }};\n")
        i += 1


if __name__ == "__main__":
    kind, size, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    with open(path, "w") as out:
        {"macros": macros, "plain": plain}[kind](size, out)
