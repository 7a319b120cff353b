// Toolchain: runs the configured C++ compiler once per module that needs it, then the linker.
// Takes the compiler configuration, the modules to compile and the visited modules; gives
// true or false for each stage and leaves no temporary file behind. Decides no more of the
// compile set than what the object files on disk show; prints a progress line per command,
// never the command itself.
#pragma once

#include <string>

class BuildManager;

// Compiles every module of the build's toCompile, and every converted module whose object file
// (named by the script's "object file" template) is missing or older than its implementation
// file, with the compile template, up to runOptions.jobs commands at once (default: the hardware
// threads); starts no command after the first that does not exit with the compile success
// code, and waits for those still running.
bool compileAll(BuildManager& build);
// Runs the link template once, its $perFile; blocks over the build's visited modules; true when
// it exits with the link success code.
bool linkAll(BuildManager& build);
// Runs a command line through the system's command interpreter and waits; its exit status.
int runCommand(const std::string& commandLine, std::string* failure = nullptr);
