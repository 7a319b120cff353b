// Run options: the process-wide record of what the command line (or the cl.exe emulation)
// asked for, and the verbose-output switches every stage reads. Takes nothing from other
// stages; gives settings. Never decides anything itself: the stages read it and act.
#pragma once

#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The options of one run. Filled while the command line is read and read by every stage
// afterwards; the build manager rewrites includeDirs[0] and the cl.exe emulation may clear
// processImports and set verbose, verboseLookup and tabSize.
struct RunOptions {
    bool processImports = true;
    bool compilerGiven = false;
    bool documentation = false;
    bool verbose = false;
    bool verboseLookup = false;
    int tabSize = 0;  // 0 until given; the driver makes it 8 after reading the options
    bool forwardRealCl = false;
    std::string outputName;
    std::string compilerOptions;
    std::string linkerOptions;
    std::set<std::string> scriptOptions;
    std::vector<std::string> includeDirs{std::string()};  // slot 0: base directory of the inputs
    std::string vornDir;
    int successStatus = 0;
    int failureStatus = 1;
    // Where the program is linked to when no -o was given: the first input's path without
    // its extension (hello.vn gives hello). Read by the compiler scripts' $outputName;.
    std::string defaultOutputName;
    // --depfile: where to write the make rule of the sources this run read; empty for none.
    std::string dependencyFile;
    // The libraries the imported include interface files name ("link = z"), first seen first;
    // written by the include front end, read by the compiler scripts' link line.
    std::vector<std::string> linkedLibraries;
    // The header folders pkg-config gives for the packages the include interface files name
    // ("pkg-config = lua5.4"): searched after the -I directories, and handed to the compiler.
    std::vector<std::string> packageIncludeDirs;
    // --cxx: the compiler (shell text) asked once for its system include folders and
    // predefined macros when a header is read; a build tool names the compiler it uses.
    std::string cxxCommand = "c++";
    // -j: how many compile commands run at once; 0 until given, then the hardware threads.
    int jobs = 0;
};

// Process-wide on purpose: every stage reads the options, and threading them through each call
// would change every signature for one record that is written once, by the driver.
extern RunOptions runOptions;

// The line that opens every generated implementation file: "#include\"NAME\"" and a newline
// under the cl.exe emulation's --precompiled-header, else empty. Written by that emulation,
// read by the C++ back end.
extern std::string precompiledHeaderLine;

// Progress under -v: one flushed line on stdout, indented by the current loading depth.
void verboseProgress(const std::string& text);
// The trace of name lookup under --verbose-lookup: one flushed line on stdout, not indented.
// The parts are joined only when the trace is on: lookups run by the million.
void lookupTrace(std::initializer_list<std::string_view> parts);
