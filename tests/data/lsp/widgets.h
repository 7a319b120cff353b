/* A header of the test's own. */
#ifndef WIDGETS_H
#define WIDGETS_H

inline int wg_area(int width, int height) { return width * height; }

#endif
