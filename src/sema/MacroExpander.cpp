// Macro expander: executes the statements and evaluates the expressions of macro bodies over
// compile-time values, with a stack of name scopes, and puts what macro statements deliver
// into the tree. Takes linked trees; gives values, replacement statements and diagnostics.
// Never loops or recurses without a bound: every statement and loop round costs a step, and
// every nested block, expression and expansion a level.
#include "sema/MacroExpander.hpp"

#include <iostream>
#include <map>

#include "front/Grammar.hpp"
#include "sema/NameLookup.hpp"
#include "tree/NodeDispatch.hpp"
#include "tree/Operator.hpp"
#include "tree/ParentFinder.hpp"

namespace {

const char* const sourceFile = "src/MacroExpander";

// ---------------------------------------------------------------------------------------------
// Run-wide interpreter state. Who writes: callMacro and block execution push and pop scopes,
// every statement, loop round and nested evaluation counts. Who reads: name lookup and the
// bounds below. Back to empty after every expansion, errors included.

typedef std::map<std::string, ObjectPtr> Scope;
std::vector<Scope> scopes;
int steps = 0;
int treeSteps = 0;  // reset for each module (startModuleMacros) and by expandMacroStatements
int depth = 0;

class ScopeGuard {
public:
    ScopeGuard() { scopes.emplace_back(); }
    ~ScopeGuard() { scopes.pop_back(); }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;
};

class DepthGuard {
public:
    DepthGuard() {
        if (++depth > maxMacroDepth) {
            --depth;
            throw CompileError("macro expansion nests deeper than " + std::to_string(maxMacroDepth) + " levels");
        }
    }
    ~DepthGuard() { --depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

void countStep() {
    if (++steps > maxMacroSteps)
        throw CompileError("macro expansion stopped after " + std::to_string(maxMacroSteps) +
                           " steps: a loop does not end");
    if (++treeSteps > maxModuleMacroSteps)
        throw CompileError("macro expansion stopped: the macros of this module ran more than " +
                           std::to_string(maxModuleMacroSteps) + " steps");
}

// The outcome of one statement: status 1 after a "return", with the returned value.
struct Outcome {
    int status = 0;
    ObjectPtr value;
};

Outcome execute(Statement& statement);
Outcome executeBlock(Block* block);
ObjectPtr evaluate(Expression* expression, bool asReference = false);

// ---------------------------------------------------------------------------------------------
// Statements

typedef NodeDispatch<Outcome(Statement&)> StatementDispatch;

Outcome refuseType(ClassDeclaration&) { throw CompileError("Type declarations not allowed"); }

Outcome refuseMacro(MacroDeclaration&) { throw CompileError("Macro declarations not allowed"); }

// The initialiser is stored as it stands, unevaluated; the declared type plays no part.
Outcome declareVariable(VariableDeclaration& variable) {
    Scope& innermost = scopes.back();
    if (innermost.count(variable.name))
        throw CompileError("variable " + variable.name + " is declared twice in one block of a macro");
    if (variable.initializers.size() == 1) innermost[variable.name] = variable.initializers[0];
    return Outcome();
}

Outcome executeIf(IfStatement& statement) {
    for (size_t i = 0; i < statement.conditions.size(); ++i) {
        if (castTo<bool>(evaluate(statement.conditions[i].get()))->value)
            return executeBlock(i < statement.blocks.size() ? statement.blocks[i].get() : nullptr);
    }
    return executeBlock(statement.elseBlock.get());
}

Outcome executeReturn(ReturnStatement& statement) {
    Outcome outcome;
    outcome.status = 1;
    if (statement.value) outcome.value = evaluate(statement.value.get());
    return outcome;
}

Outcome executeExpression(ExpressionStatement& statement) {
    evaluate(statement.expression.get());
    return Outcome();
}

// A number position is handed to the loop variable as a copy, so that stepping the position
// does not change the value the body holds.
ObjectPtr elementAt(const ObjectPtr& position) {
    if (ObjectPtr element = position->unaryOperator("*")) return element;
    if (auto v = boost::dynamic_pointer_cast<BasicType<int>>(position)) return makeValue(v->value);
    if (auto v = boost::dynamic_pointer_cast<BasicType<unsigned int>>(position)) return makeValue(v->value);
    if (auto v = boost::dynamic_pointer_cast<BasicType<char>>(position)) return makeValue(v->value);
    return position;
}

ObjectPtr callMember(const ObjectPtr& value, const char* name) {
    if (!value) throw NoMember("void", name);
    ObjectPtr member = value->member(name);
    return member ? member->call(ObjectList()) : ObjectPtr();
}

struct LoopPart {
    std::string name;
    ObjectPtr position;
    ObjectPtr end;
};

bool reached(const LoopPart& part) {
    if (!part.position) throw NoOperator("==", "void");
    return castTo<bool>(part.position->binaryOperator("==", part.end))->value;
}

// Positions that are numbers only meet when the start does not lie past the end; anything
// else would count through the whole number range.
void checkMeets(const LoopPart& part) {
    if (!boost::dynamic_pointer_cast<BasicType<int>>(part.position) &&
        !boost::dynamic_pointer_cast<BasicType<unsigned int>>(part.position) &&
        !boost::dynamic_pointer_cast<BasicType<char>>(part.position))
        return;
    if (castTo<bool>(part.position->binaryOperator(">", part.end))->value)
        throw CompileError("for loop over " + part.name + " never ends: its start lies past its end");
}

// The parts are walked in step; the loop ends when the first of them reaches its end.
Outcome executeFor(ForStatement& statement) {
    std::vector<LoopPart> parts;
    for (const ForPartPtr& part : statement.parts) {
        if (!part || !part->range) throw VORN_INTERNAL_ERROR(sourceFile, "for loop part without a range");
        if (part->isReverse) throw CompileError("a for loop in a macro body can not run in reverse");
        ObjectPtr iterated = evaluate(part->range.get());
        LoopPart walk{part->name, callMember(iterated, "begin"), callMember(iterated, "end")};
        checkMeets(walk);
        parts.push_back(walk);
    }
    for (;;) {
        for (const LoopPart& part : parts)
            if (reached(part)) return Outcome();
        countStep();
        ScopeGuard loopScope;
        for (const LoopPart& part : parts) scopes.back()[part.name] = elementAt(part.position);
        Outcome outcome = executeBlock(statement.body.get());
        if (outcome.status == 1) return outcome;
        for (const LoopPart& part : parts) part.position->unaryOperator("++");
    }
}

// Made only by the C++ header front end, whose modules hold no macro bodies.
const char* const headerOnly = "read from C++ headers only";

// In the order in which the classes are told apart; derived classes before their bases.
const StatementDispatch& statementTable() {
    typedef StatementDispatch D;
    static const D table(sourceFile, "MacroExpander",
                         {
                             D::skip<ForPart>(),
                             D::skip<ArgumentDeclaration>(),
                             D::skip<FunctionDeclaration>(),
                             D::skip<PropertyDeclaration>(),
                             D::skip<TypeAliasDeclaration>(),
                             D::skip<EnumDeclaration>(),
                             D::skip<NamespaceDeclaration>(),
                             D::skip<UnionDeclaration>(),
                             D::on<ClassDeclaration, &refuseType>(),
                             D::on<VariableDeclaration, &declareVariable>(),
                             D::on<MacroDeclaration, &refuseMacro>(),
                             D::on<ForStatement, &executeFor>(),
                             D::on<IfStatement, &executeIf>(),
                             D::skip<TryStatement>(),
                             D::skip<CatchStatement>(),
                             D::skip<WhileStatement>(),
                             D::skip<DeleteStatement>(),
                             D::skip<BreakStatement>(),
                             D::skip<ContinueStatement>(),
                             D::skip<ThrowStatement>(),
                             D::on<ReturnStatement, &executeReturn>(),
                             D::on<ExpressionStatement, &executeExpression>(),
                             D::skip<BlockStatement>(),
                             D::skip<MacroStatement>(),
                             D::skip<InitStatement>(),
                             D::skip<FriendDeclaration>(),
                             D::skip<CppForStatement>(),
                             D::skip<CppSwitchStatement>(),
                             D::skip<CppCaseStatement>(),
                             D::unreached<UsingDeclaration>(headerOnly),
                             D::unreached<UsingNamespaceDeclaration>(headerOnly),
                             D::unreached<CppIncludeDeclaration>(headerOnly),
                             D::unreached<CppConstantMacroDeclaration>(headerOnly),
                             D::unreached<ModuleDeclaration>("a module qualifier is made by name lookup, not written"),
                         });
    return table;
}
[[maybe_unused]] const bool statementTableListed = listNodeDispatch(&statementTable);

Outcome execute(Statement& statement) {
    countStep();
    return statementTable()(statement);
}

Outcome executeBlock(Block* block) {
    if (!block) return Outcome();
    DepthGuard level;
    ScopeGuard scope;
    for (const StatementPtr& statement : block->statements) {
        if (!statement) continue;
        Outcome outcome = execute(*statement);
        if (outcome.status == 1) return outcome;
    }
    return Outcome();
}

// ---------------------------------------------------------------------------------------------
// Expressions

typedef NodeDispatch<ObjectPtr(Expression&, bool)> ExpressionDispatch;

// What the interpreter has no value for is the user's mistake, reported at the macro call.
const char* expressionKind(const Expression& expression) {
    if (nodeCast<CtorExpression>(&expression)) return "a construction";
    if (nodeCast<AnonFuncExpression>(&expression)) return "an anonymous function";
    if (nodeCast<CppBlockInitializer>(&expression)) return "a braced initialiser";
    if (nodeCast<VariableDeclarationExpression>(&expression)) return "a declaration";
    if (nodeCast<CastExpression>(&expression)) return "a cast";
    return "this expression";
}
ObjectPtr uncomputable(Expression& expression) {
    throw CompileError(std::string("A macro body cannot compute ") + expressionKind(expression) +
                       "; return its code with _code(...)");
}

// A literal as written: a string, a character or a number.
ObjectPtr literalValue(const std::string& text) {
    if (!text.empty() && text[0] == '"') return makeLiteral(text);
    if (!text.empty() && text[0] == '\'') {
        if (text.size() < 2) throw CompileError("character constant without a character: " + text);
        return makeValue(text[1]);
    }
    return makeValue(readText<int>(text));
}

ObjectPtr evaluateConstant(ConstantExpression& constant) { return literalValue(constant.value); }

// An argument of one literal token is that literal where it is computed with, on either side
// of an operator as it already is on the right; any other value stays as it is.
ObjectPtr operandValue(const ObjectPtr& value) {
    if (!value || !nodeConversions().singleToken) return value;
    const Token* token = nodeConversions().singleToken(*value);
    if (!token || (token->kind != Number && token->kind != String)) return value;
    return literalValue(token->text);
}

bool isAssignment(const std::string& op) { return binaryPrecedence(op) == binaryPrecedence("="); }

ObjectPtr evaluateBinary(OperExpression& expression) {
    const bool assignment = isAssignment(expression.op);
    ObjectPtr left = evaluate(expression.left.get(), assignment);
    if (!assignment) left = operandValue(left);
    ObjectPtr right = evaluate(expression.right.get());
    if (!left) throw NoOperator(expression.op, "void");
    return left->binaryOperator(expression.op, right);
}

ObjectPtr evaluatePrefix(PrefixOperExpression& expression) {
    ObjectPtr operand = evaluate(expression.operand.get());
    // Stepping a copy of an argument would change nothing anyone sees.
    if (expression.op != "++" && expression.op != "--") operand = operandValue(operand);
    if (!operand) throw NoOperator(expression.op, "void");
    return operand->unaryOperator(expression.op);
}

// The value tables spell the postfix steps apart from the prefix ones.
ObjectPtr evaluatePostfix(PostfixOperExpression& expression) {
    ObjectPtr operand = evaluate(expression.operand.get());
    if (!operand) throw NoOperator(expression.op, "void");
    return operand->unaryOperator("postfix" + expression.op);
}

ObjectPtr evaluateConditional(TernaryOperExpression& expression) {
    bool condition = castTo<bool>(evaluate(expression.condition.get()))->value;
    return evaluate(condition ? expression.whenTrue.get() : expression.whenFalse.get());
}

ObjectPtr evaluateMember(SubExpression& expression) {
    ObjectPtr object = operandValue(evaluate(expression.object.get()));
    if (!object) throw NoMember("void", expression.member);
    return object->member(expression.member);
}

ObjectPtr debugPrint(const std::string& text) {
    std::cout << "[" << text << "]\n" << std::flush;
    return ObjectPtr();
}

// Innermost scope first; a value is handed out as it is stored, never evaluated again.
ObjectPtr evaluateName(StaticExpression& expression, bool asReference) {
    if (expression.scope) throw CompileError("function not found: " + expression.name);
    for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope) {
        auto found = scope->find(expression.name);
        if (found == scope->end()) continue;
        if (asReference) throw CompileError("A macro body cannot assign to its variable " + expression.name);
        return found->second;
    }
    if (expression.name != "debug_print") throw CompileError("function not found: " + expression.name);
    if (asReference) throw CompileError("buildin function not as reference");
    return ObjectPtr(new TextFunction(debugPrint));
}

// A parenthesised expression is a tuple of one.
ObjectPtr evaluateTuple(TupleExpression& tuple, bool asReference) {
    if (tuple.elements.size() != 1)
        throw CompileError("A macro body has no tuples: this one has " + std::to_string(tuple.elements.size()) + " elements");
    return evaluate(tuple.elements[0].get(), asReference);
}

ObjectPtr evaluateVector(VectorExpression& vector) {
    ObjectList elements;
    for (const ExpressionPtr& element : vector.elements) elements.push_back(evaluate(element.get()));
    return makeValue(elements);
}

ObjectPtr evaluateCall(FuncExpression& call) {
    ObjectPtr function = evaluate(call.function.get());
    ObjectList arguments;
    for (const ExpressionPtr& argument : call.arguments) arguments.push_back(evaluate(argument.get()));
    if (!function) throw NoCall("void");
    return function->call(arguments);
}

ObjectPtr evaluateRange(RangeExpression& range, bool asReference) {
    if (asReference) throw CompileError("RangeExpression is not an l value");
    Range value;
    value.start = evaluate(range.start.get());
    if (range.end) value.end = evaluate(range.end.get());
    return makeValue(value);
}

// "_code(tokens)" stands for its tokens; other macros are not called from macro bodies.
ObjectPtr evaluateMacro(MacroExpression& expression) {
    if (!expression.call) throw VORN_INTERNAL_ERROR(sourceFile, "macro expression without a call");
    const MacroCall& call = *expression.call;
    if (call.name == "_code" && call.arguments.size() == 1) return call.arguments[0];
    throw CompileError("A macro body cannot call the macro " + call.name + "; return the call's code with _code(...)");
}

// The second argument of every handler: whether the value is asked for as a reference (the
// left side of an assignment).
const ExpressionDispatch& expressionTable() {
    typedef ExpressionDispatch D;
    static const D table(sourceFile, "MacroExpander",
                         {
                             D::on<ConstantExpression, &evaluateConstant>(),
                             D::on<OperExpression, &evaluateBinary>(),
                             D::on<PrefixOperExpression, &evaluatePrefix>(),
                             D::on<TernaryOperExpression, &evaluateConditional>(),
                             D::on<SubExpression, &evaluateMember>(),
                             D::on<StaticExpression, &evaluateName>(),
                             D::on<TupleExpression, &evaluateTuple>(),
                             D::on<CtorExpression, &uncomputable>(),
                             D::on<AnonFuncExpression, &uncomputable>(),
                             D::on<CppBlockInitializer, &uncomputable>(),
                             D::on<VariableDeclarationExpression, &uncomputable>(),
                             D::on<CastExpression, &uncomputable>(),
                             D::on<PostfixOperExpression, &evaluatePostfix>(),
                             D::on<VectorExpression, &evaluateVector>(),
                             D::on<FuncExpression, &evaluateCall>(),
                             D::on<RangeExpression, &evaluateRange>(),
                             D::on<MacroExpression, &evaluateMacro>(),
                             D::unreached<TokensExpression>("a macro's arguments are handed over as code, not evaluated"),
                         });
    return table;
}
[[maybe_unused]] const bool expressionTableListed = listNodeDispatch(&expressionTable);

ObjectPtr evaluate(Expression* expression, bool asReference) {
    if (!expression) throw VORN_INTERNAL_ERROR(sourceFile, "missing expression");
    DepthGuard level;
    return expressionTable()(*expression, asReference);
}

// ---------------------------------------------------------------------------------------------
// Calls

// A call may carry one argument more than declared when it is the empty statement pair (or
// nothing at all): the lexer's end of the statement, not an argument.
bool isEmptyPair(const TokensExpression& argument) {
    std::vector<const Token*> tokens;
    for (const Token& token : argument)
        if (token.kind != EndOfFile) tokens.push_back(&token);
    return tokens.empty() || (tokens.size() == 2 && tokens[0]->text == "{" && tokens[1]->text == "}");
}

void checkArgumentCount(const MacroCall& call, const MacroDeclaration& macro) {
    size_t declared = macro.arguments.size();
    size_t given = call.arguments.size();
    if (given == declared) return;
    if (given == declared + 1 && call.arguments.back() && isEmptyPair(*call.arguments.back())) return;
    throw CompileError("Macro " + macro.name + " expected " + std::to_string(declared) + " arguments, " +
                       std::to_string(given) + " provided");
}

// The bounds count per expansion; a call from inside another one shares its budget.
class ExpansionBudget {
public:
    ExpansionBudget() : outermost(depth == 0) {
        if (outermost) steps = 0;
    }
    ~ExpansionBudget() {
        if (outermost) steps = 0;
    }
    ExpansionBudget(const ExpansionBudget&) = delete;
    ExpansionBudget& operator=(const ExpansionBudget&) = delete;

private:
    bool outermost;
};

}  // namespace

MacroDeclaration* resolveMacro(MacroCall& call) {
    if (!call.declaration) call.declaration = dynamic_cast<MacroDeclaration*>(lookup(call.name, placeOf(&call)));
    return call.declaration;
}

ObjectPtr callMacro(MacroCall& call, MacroDeclaration& macro) {
    checkArgumentCount(call, macro);
    ExpansionBudget budget;
    DepthGuard level;
    ScopeGuard arguments;
    for (size_t i = 0; i < macro.arguments.size(); ++i)
        if (macro.arguments[i]) scopes.back()[macro.arguments[i]->name] = call.arguments[i];
    return executeBlock(macro.body.get()).value;
}

MacroExpansion expandMacroStatement(MacroStatement& statement) {
    MacroExpansion expansion;
    MacroDeclaration* macro = statement.call ? resolveMacro(*statement.call) : nullptr;
    if (!macro) return expansion;
    ObjectPtr value = callMacro(*statement.call, *macro);
    expansion.outcome = MacroExpansion::Removed;
    if (!value) return expansion;
    if (TokensExpressionPtr tokens = boost::dynamic_pointer_cast<TokensExpression>(value)) {
        expansion.replacement = parseTokensAsStatement(*tokens);
        if (!expansion.replacement) {
            reportError("expected that macro returns a statement", statement.location);
            return expansion;
        }
    } else {
        expansion.replacement = boost::static_pointer_cast<Statement>(castToStatement(value));
    }
    expansion.outcome = MacroExpansion::Replaced;
    return expansion;
}

// ---------------------------------------------------------------------------------------------
// Expanding the macro statements of a tree

namespace {

class TreeExpander {
public:
    void expandBlock(Block& block) {
        for (auto entry = block.statements.begin(); entry != block.statements.end();) {
            int expansions = 0;
            if (!expandEntry(block, entry, expansions)) {
                entry = block.statements.erase(entry);
                continue;
            }
            // What an expansion delivered is walked at a nesting one deeper per expansion, so
            // a macro whose code holds its own call again ends at the bound.
            nesting += expansions;
            if (*entry) walk(**entry);
            nesting -= expansions;
            ++entry;
        }
    }

private:
    // False when the entry is to be removed. An expansion that delivers another macro
    // statement is expanded again in the same entry.
    bool expandEntry(Block& block, StatementList::iterator entry, int& expansions) {
        for (;;) {
            MacroStatement* statement = dynamic_cast<MacroStatement*>(entry->get());
            if (!statement) return true;
            const SourceLocation at = statement->location;
            if (nesting + expansions >= maxMacroDepth) {
                reportError("macro expansion nests deeper than " + std::to_string(maxMacroDepth) + " levels", at);
                return true;
            }
            MacroExpansion expansion;
            try {
                expansion = expandMacroStatement(*statement);
            } catch (const CompileError& error) {
                if (error.severity == SeverityInternal) throw;
                reportError(error.message, at);
                return true;
            } catch (const std::exception& error) {
                reportError(error.what(), at);
                return true;
            }
            if (expansion.outcome == MacroExpansion::NotAMacro) return true;
            if (expansion.outcome == MacroExpansion::Removed) return false;
            *entry = expansion.replacement;
            ParentFinder().linkInserted(&block, entry);
            ++expansions;
        }
    }

    // Expressions may nest as deep as a long line of operators, so they are walked with a
    // list of pending nodes; only blocks, which the parser bounds, recurse.
    void walk(ASTObject& root) {
        std::vector<ASTObject*> pending{&root};
        while (!pending.empty()) {
            ASTObject* node = pending.back();
            pending.pop_back();
            if (Block* block = dynamic_cast<Block*>(node)) {
                expandBlock(*block);
                continue;
            }
            // A macro's own body is code the interpreter runs, not code to expand.
            if (dynamic_cast<MacroDeclaration*>(node)) continue;
            // A declared macro in an expression would be written as a call the user never
            // wrote; other names are C macros and the like, written as they stand.
            if (MacroExpression* expression = dynamic_cast<MacroExpression*>(node)) {
                if (expression->call && resolveMacro(*expression->call))
                    reportError("macro " + expression->call->name +
                                    " can only be expanded as a statement outside a macro body",
                                expression->location);
                continue;
            }
            std::vector<ASTObject*> children = childNodes(*node);
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
    }

    int nesting = 0;
};

}  // namespace

void startModuleMacros() { treeSteps = 0; }

void expandMacroStatements(Block& block) {
    treeSteps = 0;
    TreeExpander().expandBlock(block);
}
