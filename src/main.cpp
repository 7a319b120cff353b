// Entry point of vorn: everything lives in the library; see Driver.
#include <iostream>

int main(int, char**) {
    std::cerr << "vorn: not built yet\n";
    return 1;
}
