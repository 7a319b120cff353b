// Standing in for cl.exe: reads a build tool's response file, translates the ".vn" sources it
// names, rewrites it to name the generated C++ instead and starts the real compiler (or, for
// object files only, the linker) on it. Takes the response file's name; gives success or
// failure. Never lets a shell read a token: the tool gets an argument list.
#pragma once

#include <string>
#include <vector>

class BuildManager;

// One word of a response file. A word that began with a double quote is kept without its
// quotes and marked, so that it can be written back the way it came.
struct ResponseToken {
    std::string text;
    bool quoted = false;

    bool operator==(const ResponseToken& o) const { return text == o.text && quoted == o.quoted; }
};

// Splits response file text at blanks, tabs and line ends; a double quote before the next
// blank runs the word on to the matching quote (or the end of the text).
// `cut`, when given, tells whether a quoted word ran to the end of the text.
std::vector<ResponseToken> tokenizeResponseFile(const std::string& text, bool* cut = nullptr);

// The whole emulation, as the translation of the build; true when the translation succeeded and
// the tool it started (if any) exited with status 0.
bool emulateVisualCpp(const std::string& responseFileName, BuildManager& build);
