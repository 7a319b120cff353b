// Test support that runs alike on POSIX and under Windows: fresh directories made without the
// C library's POSIX calls. Test support only.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace portable {

// What a program's file name ends in.
#ifdef _WIN32
const char* const programSuffix = ".exe";
#else
const char* const programSuffix = "";
#endif

// A new directory named `prefix` and a random part; its path without a trailing separator.
// create_directory fails on a name another process took, so two runs never share one.
inline std::string uniqueDirectory(const std::string& prefix) {
    static std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = prefix + std::to_string(random() % 100000000);
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) return path;
        if (error) break;
    }
    throw std::runtime_error("cannot make a directory like " + prefix);
}

}  // namespace portable
