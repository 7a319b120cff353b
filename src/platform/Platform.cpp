// Platform layer, the part every system shares: search path lists, wildcards, quoting, the
// compiler's answer read from its output, and the registry's replacement for tests.
#include "platform/Platform.hpp"

#include <algorithm>
#include <cstring>
#include <thread>

namespace platform {

char pathListSeparator() {
#ifdef _WIN32
    return ';';
#else
    return ':';
#endif
}

const char* executableFileName() {
#ifdef _WIN32
    return "vorn.exe";
#else
    return "vorn";
#endif
}

const char* nullDevice() {
#ifdef _WIN32
    return "NUL";
#else
    return "/dev/null";
#endif
}

std::vector<std::string> splitPathList(const std::string& value) {
    std::vector<std::string> entries;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type end = value.find(pathListSeparator(), start);
        if (end == std::string::npos) {
            entries.push_back(value.substr(start));
            return entries;
        }
        entries.push_back(value.substr(start, end - start));
        start = end + 1;
    }
}

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    // Iterative match with one backtrack point: the last '*' seen and where it started.
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

CompilerPreprocessor queryCompilerPreprocessor(const std::string& compilerCommand) {
    CompilerPreprocessor facts;
    // Both streams in one pipe: the macros arrive on stdout, the search list on stderr.
    std::string output;
    const int status =
        captureCommandOutput(compilerCommand + " -x c++ -E -dM -v " + nullDevice() + " 2>&1", output);
    bool inSearchList = false;
    bool sawSearchList = false;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, 8, "#define ") == 0) {
            facts.predefines += line + "\n";
        } else if (line.compare(0, 25, "#include <...> search sta") == 0) {
            inSearchList = sawSearchList = true;
        } else if (line.compare(0, 18, "End of search list") == 0) {
            inSearchList = false;
        } else if (inSearchList && line.size() > 1 && line[0] == ' ') {
            std::string dir = hostPath(line.substr(1));
            // Darwin marks framework directories; they hold no plain headers.
            if (dir.size() > 22 && dir.compare(dir.size() - 22, 22, " (framework directory)") == 0) continue;
            facts.includeDirectories.push_back(dir);
        }
    }
    facts.found = status == 0 && sawSearchList;
    if (!facts.found) facts = CompilerPreprocessor();
    return facts;
}

namespace {
// The run time's rule: backslashes are literal unless a double quote follows them, so a run
// of them before a quote (or before the closing quote) is doubled.
std::string quotedArgument(const std::string& argument) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

#ifdef _WIN32
// The command processor reads its line before the program splits it; with every quote
// escaped it never enters its quoted state, so each special character needs its own '^'.
std::string escapedForCommandProcessor(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c != '\0' && std::strchr("()%!^\"<>&|", c)) escaped += '^';
        escaped += c;
    }
    return escaped;
}
#endif
}  // namespace

std::string argumentLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        const bool plain = !argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos;
        line += plain ? argument : quotedArgument(argument);
    }
    return line;
}

ShellQuoting shellQuotingAfter(ShellQuoting state, const std::string& text) {
#ifdef _WIN32
    // The command processor knows only double quotes, and no escape inside them.
    for (char c : text)
        if (c == '"') state = state == ShellQuoting::inDouble ? ShellQuoting::none : ShellQuoting::inDouble;
#else
    bool escaped = false;
    for (char c : text) {
        if (escaped) {
            escaped = false;
        } else if (state == ShellQuoting::inSingle) {
            if (c == '\'') state = ShellQuoting::none;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '"') {
            state = state == ShellQuoting::inDouble ? ShellQuoting::none : ShellQuoting::inDouble;
        } else if (c == '\'' && state == ShellQuoting::none) {
            state = ShellQuoting::inSingle;
        }
    }
#endif
    return state;
}

std::string shellQuoted(const std::string& value, ShellQuoting state) {
    std::string quoted;
#ifdef _WIN32
    // A Windows path holds no '"'; '%' cannot be escaped inside quotes, so a value outside
    // quotes is quoted and the characters the command processor acts on are escaped.
    if (state == ShellQuoting::inDouble) {
        for (char c : value)
            if (c != '"') quoted += c;
        return quoted;
    }
    return escapedForCommandProcessor(quotedArgument(value));
#else
    switch (state) {
    case ShellQuoting::inSingle:
        // Close the quotes, give the quote itself escaped, open them again.
        for (char c : value) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted;
    case ShellQuoting::inDouble:
        // Inside double quotes only these four keep a meaning, and a backslash takes it away.
        for (char c : value) {
            if (c == '$' || c == '`' || c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
        return quoted;
    case ShellQuoting::none:
        break;
    }
    return "'" + shellQuoted(value, ShellQuoting::inSingle) + "'";
#endif
}

unsigned hardwareThreads() {
    const unsigned threads = std::thread::hardware_concurrency();
    return threads > 0 ? threads : 1;
}

std::string hostPath(const std::string& path) {
    std::string converted = path;
    std::replace(converted.begin(), converted.end(), '\\', '/');
    return converted;
}

namespace {
// Written by setRegistry (tests only), read by every registry user.
Registry* registryOverride = nullptr;
}  // namespace

Registry& registry() { return registryOverride ? *registryOverride : systemRegistry(); }

void setRegistry(Registry* replacement) { registryOverride = replacement; }

}  // namespace platform
