// Language server: answers an editor over the Language Server Protocol (JSON-RPC messages with
// Content-Length framing) about the ".vn" documents it holds: diagnostics, hover, definitions
// and document symbols. Takes the editor's texts; gives what parsing, name lookup and type
// inference find in them, run as the build manager runs them but without translating. It never
// writes a generated file, never compiles, and never ends because one document or message is bad.
#pragma once

#include <iosfwd>
#include <memory>

class LanguageServer {
public:
    // Answers go to out; nothing else may write there while the server runs.
    explicit LanguageServer(std::ostream& out);
    ~LanguageServer();

    // Serves messages from in until the exit notification or the end of the input. Returns the
    // exit status: 0 after a shutdown request, 1 otherwise, as the protocol asks.
    int run(std::istream& in);

private:
    struct State;
    std::unique_ptr<State> state;
};
