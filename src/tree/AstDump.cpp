// Tree dump: a FieldVisitor that prints each node's class, position and fields, recursively.
#include "tree/AstDump.hpp"

#include <cstdio>
#include <ostream>
#include <sstream>

namespace {

std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': result += "\\\""; break;
        case '\\': result += "\\\\"; break;
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7f) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                result += hex;
            } else {
                result += static_cast<char>(c);
            }
        }
    }
    return result + "\"";
}

// Token kinds without a display name (the preprocessor's) are written by number.
std::string kindText(TokenKind kind) {
    try {
        return tokenKindName(kind);
    } catch (const CompileError&) {
        return "kind " + std::to_string(static_cast<int>(kind));
    }
}

class Dumper : public FieldVisitor {
public:
    Dumper(std::ostream& out, bool withLocations) : out(out), withLocations(withLocations) {}

    // Writes the rest of the current line (the node's header) and the node's fields below it.
    void node(const ASTObject* n) {
        if (!n) {
            out << "(null)\n";
            return;
        }
        out << n->className();
        if (withLocations && n->location.line >= 0)
            out << " @" << n->location.line << ":" << n->location.column;
        out << "\n";
        indent += 2;
        n->visitFields(*this);
        indent -= 2;
    }

    void text(const char* field, const std::string& value) override {
        if (!value.empty()) line(field) << quoted(value) << "\n";
    }

    void texts(const char* field, const std::vector<std::string>& values) override {
        if (values.empty()) return;
        std::ostream& o = line(field);
        o << "[";
        for (size_t i = 0; i < values.size(); ++i) o << (i ? ", " : "") << quoted(values[i]);
        o << "]\n";
    }

    void flag(const char* field, bool value) override {
        if (value) line(field) << "true\n";
    }

    void number(const char* field, long long value) override {
        if (value != 0) line(field) << value << "\n";
    }

    void choice(const char* field, int, const char* spelling) override { line(field) << spelling << "\n"; }

    void child(const char* field, ASTObject* n) override {
        if (!n) return;
        line(field);
        node(n);
    }

    void children(const char* field, const std::vector<ASTObject*>& nodes) override {
        for (size_t i = 0; i < nodes.size(); ++i) {
            pad() << field << "[" << i << "]: ";
            node(nodes[i]);
        }
    }

    void tokens(const char* field, const TokenStream& stream) override {
        if (stream.empty()) return;
        std::ostream& o = line(field);
        bool first = true;
        for (const Token& t : stream) {
            o << (first ? "" : ", ") << kindText(t.kind) << " " << quoted(t.text);
            first = false;
        }
        o << "\n";
    }

private:
    std::ostream& pad() { return out << std::string(indent, ' '); }
    std::ostream& line(const char* field) { return pad() << field << ": "; }

    std::ostream& out;
    bool withLocations;
    int indent = 0;
};

}  // namespace

void dumpTree(const ASTObject* node, std::ostream& out, bool withLocations) {
    Dumper dumper(out, withLocations);
    dumper.node(node);
}

std::string dumpTree(const ASTObject* node, bool withLocations) {
    std::ostringstream out;
    dumpTree(node, out, withLocations);
    return out.str();
}

std::string dumpTree(const ASTObjectPtr& node, bool withLocations) { return dumpTree(node.get(), withLocations); }
