// Entry point of vorn: everything lives in the library; see Driver.
#include "Driver.hpp"

int main(int argc, char** argv) { return vornMain(argc, argv); }
