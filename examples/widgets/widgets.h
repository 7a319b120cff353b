/* A small widget library of the project's own, header only. */
#ifndef WIDGETS_H
#define WIDGETS_H

enum Colour { red, green, blue };

inline int wg_area(int width, int height) { return width * height; }

inline const char* wg_colourName(enum Colour c) {
    return c == red ? "red" : c == green ? "green" : "blue";
}

#ifdef WG_EXTRAS
inline int wg_twice(int value) { return 2 * value; }
#endif

class wg_Counter {
public:
    wg_Counter(int start) : count_(start) {}
    int get_count() const { return count_; }
    void add(int n) { count_ += n; }

private:
    int count_;
};

#endif
