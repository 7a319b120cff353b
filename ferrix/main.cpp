// ferrix: installed as cl.exe in front of the real compiler (installed as realcl.exe), it hands
// its whole command line to vorn in the cl.exe emulation, which starts realcl.exe itself.
// Takes any arguments and interprets none; gives vorn's exit status. Never prints anything of
// its own except that vorn could not be started, and never lets a shell read an argument.
#include <iostream>
#include <string>
#include <vector>

#include "platform/Platform.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> arguments{"--vc-forward-realcl"};
    for (int i = 1; i < argc; ++i) arguments.push_back(argv[i]);
    int status = platform::runWithArguments(platform::executableFileName(), arguments);
    if (status == -1) {
        // The caller sees what a shell would give for a program it cannot find.
        std::cerr << "ferrix: cannot start " << platform::executableFileName() << '\n';
        return 127;
    }
    return status;
}
