// A stand-in for a compiler, linker or vorn itself in tests, portable so that the same program
// serves on POSIX and under Wine. Copied to DIR/bin/NAME (NAME.exe on Windows), it appends to
// DIR/log its name and each argument in brackets, then a line "  FILE holds [TEXT]" (or
// "  FILE missing") for each argument that names a file under DIR/tmp/, alone or after '@'.
// Its exit status is the number in DIR/NAME.status, or in DIR/fail-BASE for an argument whose
// last path part is BASE, else 0.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/Platform.hpp"

namespace {

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // As a shell's $(cat FILE) gives it.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string lastPart(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    const std::string::size_type slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
    std::string own = platform::runningExecutableDirectory();  // DIR/bin/
    own.pop_back();
    const std::string dir = own.substr(0, own.rfind('/'));
    std::string name = lastPart(argv[0]);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
    std::ostringstream log;
    log << name;
    for (int i = 1; i < argc; ++i) log << " [" << argv[i] << "]";
    log << '\n';
    const std::string temporary = dir + "/tmp/";
    int status = std::atoi(contentOf(dir + "/" + name + ".status").c_str());
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::string file = argument.compare(0, 1, "@") == 0 ? argument.substr(1) : argument;
        if (file.compare(0, temporary.size(), temporary) == 0) {
            if (platform::isRegularFile(file))
                log << "  " << file << " holds [" << contentOf(file) << "]\n";
            else
                log << "  " << file << " missing\n";
        }
        const std::string failure = dir + "/fail-" + lastPart(argument);
        if (platform::isRegularFile(failure)) status = std::atoi(contentOf(failure).c_str());
    }
    std::ofstream(dir + "/log", std::ios::binary | std::ios::app) << log.str();
    return status;
}
