// vorn-lsp: the language server for ".vn" files, spoken over standard input and output.
// Takes the protocol's messages; gives its answers on standard output and anything else any
// stage prints (progress, traces) on standard error, so no stray line breaks the framing.
// Serves on a thread with vorn's large stack, so that a document is bounded by the depths the
// stages refuse, as in a translation, and not by the stack.
#include <iostream>

#include "base/SmallObjectPool.hpp"
#include "driver/LanguageServer.hpp"
#include "platform/Platform.hpp"

namespace {
int serve() {
    std::ostream protocol(std::cout.rdbuf());
    std::cout.rdbuf(std::cerr.rdbuf());
    LanguageServer server(protocol);
    const int status = server.run(std::cin);
    protocol.flush();
    return status;
}
}  // namespace

int main() {
    std::ios::sync_with_stdio(false);
    int status = 1;
    auto task = [](void* context) {
        // Start-up allocated on the main thread, which owns the pool until now.
        takeOverSmallObjectPool();
        *static_cast<int*>(context) = serve();
    };
    if (!platform::runWithStack(std::size_t(1) << 30, task, &status)) return serve();
    return status;
}
