// vorn-lsp: the language server for ".vn" files, spoken over standard input and output.
// Takes the protocol's messages; gives its answers on standard output and anything else any
// stage prints (progress, traces) on standard error, so no stray line breaks the framing.
#include <iostream>

#include "LanguageServer.hpp"

int main() {
    std::ios::sync_with_stdio(false);
    std::ostream protocol(std::cout.rdbuf());
    std::cout.rdbuf(std::cerr.rdbuf());
    LanguageServer server(protocol);
    const int status = server.run(std::cin);
    protocol.flush();
    return status;
}
