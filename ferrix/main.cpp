// ferrix: installed as cl.exe in front of the real compiler (installed as realcl.exe), it hands
// its whole command line to vorn in the cl.exe emulation, which starts realcl.exe itself.
// Takes any arguments and interprets none but a lone --version or no argument at all (its
// usage); gives vorn's exit status. Never prints anything else of its own except that vorn
// could not be started. vorn is started directly, found where the command processor would
// find it, so that no shell or command processor reads an argument ('%', '^' and quotes
// arrive as they were given).
#include <iostream>
#include <string>
#include <vector>

#include "platform/Platform.hpp"

int main(int argc, char** argv) {
    // A cl.exe command line always holds something; these two are a person asking.
    if (argc < 2) {
        std::cerr << "usage: ferrix ARGUMENT...\n"
                     "  installed as cl.exe, runs vorn --vc-forward-realcl with the same arguments\n"
                     "  (vorn translates the .vn files of an @response file and runs realcl.exe)\n";
        return 1;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "ferrix " << VORN_VERSION << '\n';
        return 0;
    }
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
