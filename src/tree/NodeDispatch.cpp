// Node dispatch: the list of every dispatch table of the program and the check that asks them
// all. Takes the listings the visitors' files make as the program starts; gives the classes
// some table has no row for. Never calls a table before the check is asked for.
#include "tree/NodeDispatch.hpp"

namespace {
// Filled while the program's statics are made, before main; read only by the check.
std::vector<std::function<std::vector<std::string>()>>& listedTables() {
    static std::vector<std::function<std::vector<std::string>()>> tables;
    return tables;
}
}  // namespace

void listNodeDispatchCheck(std::function<std::vector<std::string>()> unserved) {
    listedTables().push_back(std::move(unserved));
}

std::vector<std::string> unservedNodeClasses() {
    std::vector<std::string> lines;
    for (const auto& unserved : listedTables()) {
        std::vector<std::string> more = unserved();
        lines.insert(lines.end(), more.begin(), more.end());
    }
    return lines;
}

void checkNodeDispatchTables() {
    std::string message;
    for (const std::string& line : unservedNodeClasses()) message += (message.empty() ? "" : "; ") + line;
    if (!message.empty()) throw VORN_INTERNAL_ERROR("src/NodeDispatch", message);
}

size_t listedNodeDispatchTables() { return listedTables().size(); }
