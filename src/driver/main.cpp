// Entry point of vorn: everything lives in the library; see Driver. The run goes on a thread
// with a large stack, so that the depth the loader refuses, not the stack, bounds an import chain.
#include "base/SmallObjectPool.hpp"
#include "driver/Driver.hpp"
#include "platform/Platform.hpp"

namespace {
struct Run {
    int argc;
    char** argv;
    int status;
};
}  // namespace

int main(int argc, char** argv) {
    Run run{argc, argv, 1};
    auto task = [](void* context) {
        Run* r = static_cast<Run*>(context);
        // Start-up allocated on the main thread, which owns the pool until now.
        takeOverSmallObjectPool();
        r->status = vornMain(r->argc, r->argv);
    };
    if (!platform::runWithStack(std::size_t(1) << 30, task, &run)) return vornMain(argc, argv);
    return run.status;
}
