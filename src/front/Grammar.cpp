// The source language grammar: one rule per row of the grammar tables, built once, plus the
// auxiliary steps the rows name (import, append, split, accessor modifiers), the precedence
// steps of the expression parser, and the raw-token readers of macro arguments.
// Takes a token stream; gives tree nodes. Never reports a mismatch itself: failures become
// expectations, and the skipping parsers around statements word and queue the errors.
#include "front/Grammar.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

#include "tree/Operator.hpp"

VORN_RULE(MatchBool, endOfStatementRule)
VORN_RULE(AnyExpression, anyExpressionRule)
VORN_RULE(TypeExpression, primaryTypeRule)
VORN_RULE(TypeExpression, typeRule)
VORN_RULE(SimpleTypeExpr, simpleTypeRule)
VORN_RULE(TupleType, tupleTypeRule)
VORN_RULE(TypeOperator, prefixTypeOperatorRule)

VORN_RULE(Statement, statementRule)
VORN_RULE(ForStatement, forRule)
VORN_RULE(ForPart, forPartRule)
VORN_RULE(IfStatement, ifRule)
VORN_RULE(TryStatement, tryRule)
VORN_RULE(CatchStatement, catchRule)
VORN_RULE(WhileStatement, whileRule)
VORN_RULE(DeleteStatement, deleteRule)
VORN_RULE(ReturnStatement, returnRule)
VORN_RULE(BreakStatement, breakRule)
VORN_RULE(ContinueStatement, continueRule)
VORN_RULE(ThrowStatement, throwRule)
VORN_RULE(MacroStatement, macroStatementRule)
VORN_RULE(InitStatement, initStatementRule)
VORN_RULE(ExpressionStatement, expressionStatementRule)

VORN_RULE(Expression, expressionRule)
VORN_RULE(PrefixOperExpression, prefixOperatorRule)
VORN_RULE(TernaryOperExpression, conditionalRule)
VORN_RULE(MacroExpression, macroExpressionRule)
VORN_RULE(CtorExpression, constructionRule)
VORN_RULE(TupleExpression, tupleRule)
VORN_RULE(RangeExpression, rangeRule)
VORN_RULE(ConstantExpression, constantRule)
VORN_RULE(StaticExpression, staticNameRule)
VORN_RULE(StaticExpression, scopedValueRule)
VORN_RULE(MacroCall, macroCallRule)
VORN_RULE(TokensExpression, bracketedArgumentRule)
VORN_RULE(TokensExpression, openArgumentRule)

VORN_RULE(Declaration, declarationRule)
VORN_RULE(BaseDeclaration, baseRule)
VORN_RULE(ClassDeclaration, classRule)
VORN_RULE(ArgumentDeclaration, argumentRule)
VORN_RULE(FunctionDeclaration, functionRule)
VORN_RULE(PropertyDeclaration, propertyRule)
VORN_RULE(VariableDeclaration, variableRule)
VORN_RULE(EnumItem, enumItemRule)
VORN_RULE(EnumDeclaration, enumRule)
VORN_RULE(TypeAliasDeclaration, aliasRule)
VORN_RULE(MacroDeclaration, macroDeclarationRule)
VORN_RULE(Block, blockRule)
VORN_RULE(MatchBool, accessSectionRule)
VORN_RULE(ImportDeclaration, importRule)
VORN_RULE(Block, moduleBodyRule)
VORN_RULE(Module, moduleRule)
VORN_RULE(TemplateCall, templateCallRule)
VORN_RULE(TemplateDeclaration, templateDeclarationRule)
VORN_RULE(TemplateArgumentDeclaration, templateArgumentRule)

namespace {

// Rules that only this grammar has.
VORN_RULE(TypeExpression, groupedTypeRule)
VORN_RULE(FuncExpression, sizeOfTypeRule)
VORN_RULE(StaticExpression, sizeOfNameRule)
VORN_RULE(CtorExpression, sizeOfOperandRule)

const std::string& previousText(TokenStream& ts) {
    if (ts.current == ts.begin()) nothingConsumedYet();
    return std::prev(ts.current)->text;
}

bool locationBefore(const SourceLocation& a, const SourceLocation& b) {
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

// ---- end of statement ----

// The statement closed itself: with its own indented body, or with an operator after which
// the lexer wrote no empty pair (a postfix increment at the line end, say).
bool statementEnded(TokenStream& ts) {
    if (ts.current == ts.begin()) return false;
    const Token& before = *std::prev(ts.current);
    if (before.text == "}") return true;
    return before.kind == Operator && locationBefore(before.location, ts.current->location);
}

// ---- precedence steps (the state is the framework's) ----

// Run around every expression: the entries are reused in place rather than built anew.
bool pushContext(TokenStream&) {
    precedence.stack.emplace_back();
    precedence.lastPopped.precedence = 0;
    precedence.lastPopped.op.clear();
    return true;
}

void popPrecedence(TokenStream&) {
    if (precedence.stack.empty()) {
        precedence.lastPopped = PrecedenceState::none;
        return;
    }
    precedence.lastPopped = std::move(precedence.stack.back());
    precedence.stack.pop_back();
}

bool prefixCheck(TokenStream& ts) {
    if (!precedence.stack.empty() && precedence.top().precedence > 140) return false;
    // No operator ending in '=' stands before its operand: "Int x = = 3" is a slip, not a value.
    const std::string& op = previousText(ts);
    if (!op.empty() && op.back() == '=') return false;
    precedence.stack.push_back(PrecedenceEntry{140, previousText(ts)});
    return true;
}

struct OperatorFacts {
    int precedence;
    int grouping;
};

// Asked after every operator read, of tables keyed by text: short spellings, nearly all of them,
// are kept in a small direct-mapped cache keyed by their bytes.
OperatorFacts operatorFacts(const std::string& op) {
    if (op.empty() || op.size() > 3) return OperatorFacts{binaryPrecedence(op), operatorGrouping(op)};
    uint32_t key = static_cast<uint32_t>(op.size()) << 24;
    for (size_t i = 0; i < op.size(); ++i) key |= static_cast<uint32_t>(static_cast<unsigned char>(op[i])) << (8 * i);
    static struct Entry {
        uint32_t key = 0;  // no spelling has key 0
        OperatorFacts facts;
    } cache[256];
    Entry& entry = cache[(key * 2654435761u) >> 24];
    if (entry.key != key) {
        entry.facts = OperatorFacts{binaryPrecedence(op), operatorGrouping(op)};
        entry.key = key;
    }
    return entry.facts;
}

bool binaryCheck(TokenStream& ts) {
    const std::string& op = previousText(ts);
    OperatorFacts facts = operatorFacts(op);
    int p = facts.precedence;
    if (p < 0) return false;
    // Read before the push below, which may move the stack.
    const PrecedenceEntry& top = precedence.top();
    bool accept;
    switch (facts.grouping) {
        case GroupsLeft: accept = p > top.precedence; break;
        case GroupsRight: accept = p >= top.precedence; break;
        case GroupsLogical:
            if (p == precedence.lastPopped.precedence && op != top.op)
                throw CompileError("Cannot mix operators " + precedence.lastPopped.op + " and " + op,
                                   std::prev(ts.current)->location);
            accept = (p <= top.precedence || p == precedence.lastPopped.precedence) ? op == top.op : true;
            break;
        default: return false;
    }
    if (accept) precedence.stack.push_back(PrecedenceEntry{p, op});
    return accept;
}

// What stands inside the brackets of an argument list or a template call, or between a
// conditional's "?" and ":", binds on its own, not against the operator left of it, whose entry
// is still on top of the stack (as in C++, where `c ? a = 1 : 2` assigns in the middle). Entered only after the bracket, so a call that is merely tried and
// not there leaves the last popped entry alone (a logical operator after it reads that entry).
template <class P>
auto ownContext(const P& body) {
    return func(pushContext) >> finally(body, popPrecedence);
}

// ---- construction: the check after a type with neither arguments nor "with" ----

// True when the token after the current one closes a bracket: "Foo" before the empty statement
// pair "{" "}" is a construction without arguments.
bool nextIsClosingBrace(TokenStream& ts) {
    TokenStream::Position saved = ts.current;
    if (ts.current->kind == EndOfFile) return false;
    ts.advance();
    bool closing = ts.current->kind == ClosingBrace;
    ts.current = saved;
    return closing;
}

// After "new" the type is made whatever follows, except an argument list in C++'s spelling,
// which would otherwise be read as a call of the new pointer.
bool noCppArguments(TokenStream& ts) { return ts.current->text != "("; }

// A tuple type has no C++ form, so there is nothing to construct.
bool noTupleConstructed(TokenStream&) {
    const CtorExpression& construction = nodeUnderConstruction<CtorExpression>();
    if (dynamic_cast<const TupleType*>(construction.type.get()))
        throw CompileError("A tuple type cannot be constructed", construction.type->location);
    return true;
}

// Only an indented (or braced) block may follow an expression: a block of one statement on
// the same line would take `y = 2 3` for a call with a body.
bool bracedBlockNext(TokenStream& ts) { return ts.current->text == "{" && ts.current->kind != String; }

// A statement head with nothing indented below it ends in the lexer's empty statement-end
// pair, one place for both braces (braces the user wrote stand apart). Read as an empty body
// it would silently move the next line out of the loop or condition.
bool indentedBodyNext(TokenStream& ts) {
    if (!ts.bracesAreLayout() || ts.current->text != "{" || ts.current->kind == String) return true;
    const TokenStream::Position next = std::next(ts.current);
    if (next == ts.end() || next->text != "}" || next->location.line != ts.current->location.line ||
        next->location.column != ts.current->location.column)
        return true;
    throw ParseError("Syntax error, expected an indented body", ts.current->location);
}

bool lastPartIsName(TokenStream& ts) {
    // Square.Corner.count is the member count of the nested type: the static name reads it.
    if (ts.current->text == "." && ts.current->kind != String) return false;
    StaticExpression& value = nodeUnderConstruction<StaticExpression>();
    const SubTypeExpr* nested = dynamic_cast<const SubTypeExpr*>(value.scope.get());
    if (!nested || nested->templateArgs || !nested->scope) return false;
    value.name = nested->name;
    value.scope = nested->scope;
    return true;
}

// A scope read where no "." followed is none: the capitalised word itself is the name.
bool scopeBeforeDot(TokenStream& ts) {
    StaticExpression& name = nodeUnderConstruction<StaticExpression>();
    if (name.scope && (std::distance(ts.begin(), ts.current) < 2 || std::prev(ts.current, 2)->text != "."))
        name.scope.reset();
    return true;
}

// ---- postfix operators ----

// An expression that ends with an operator at the end of its line (a postfix increment) ends
// there: the lexer, seeing the operator, continues the line, but the next one is a statement.
bool continuesExpression(TokenStream& ts) {
    if (ts.current == ts.begin()) return true;
    const Token& before = *std::prev(ts.current);
    return before.kind != Operator || ts.current->location.line == before.location.line;
}

// One round of the loop after an expression's primary, run only where the expression goes on.
template <class P>
auto continuing(const P& round) {
    return startsLike(func(continuesExpression) >> round, round);
}

// ---- initialisers: told apart from other statements by their second token ----

// A name starts an initialiser only when ":" (or an operator starting with it) follows.
bool mayBeInitialiser(TokenStream& ts) {
    if (ts.current->kind != Name) return true;
    TokenStream::Position saved = ts.current;
    ts.advance();
    bool colon = ts.current->text[0] == ':';
    ts.current = saved;
    return colon;
}

// ---- functions and properties: told apart from variables by the token after the name ----

// A function, a property and a variable each read modifiers, a type and a name before they
// differ. The scan finds the first name outside brackets and hands the token after it to
// `fits`; where it cannot tell (an array size, an operator function, a long scan) it says yes.
template <class Fits>
bool declarationMayFit(TokenStream& ts, Fits fits) {
    TokenStream::Position saved = ts.current;
    bool verdict = true;
    int depth = 0;
    for (int steps = 0; steps < 64 && !ts.atEnd(); ++steps) {
        const Token& t = *ts.current;
        // Views compare by length first; a string against a literal measures the literal.
        const std::string_view text = t.text;
        if (t.kind == OpeningBrace) {
            if (text == "{") break;
            ++depth;
        } else if (t.kind == ClosingBrace) {
            if (--depth < 0) break;
        } else if (text == "#" || text == "operator" || text == "construct" || text == "destruct") {
            break;
        } else if (depth == 0 && t.kind == Name) {
            ts.advance();
            TokenStream::Position next = ts.current;
            verdict = fits(ts, next);
            break;
        }
        ts.advance();
    }
    ts.current = saved;
    return verdict;
}

bool mayBeFunction(TokenStream& ts) {
    return declarationMayFit(ts, [](TokenStream&, TokenStream::Position next) {
        const std::string& text = next->text;
        return text.size() == 1 && (text[0] == '(' || text[0] == '[');
    });
}

// After the name: an accessor, or "{" opening accessors (a "{" "}" pair ends a variable).
bool mayBeProperty(TokenStream& ts) {
    return declarationMayFit(ts, [](TokenStream& stream, TokenStream::Position next) {
        // Asked of every declaration: the texts compare as views, by length first.
        const std::string_view text = next->text;
        if (text == "{") {
            stream.advance();
            return std::string_view(stream.current->text) != "}";
        }
        return text == "get" || text == "set" || text == "virtual" || text == "abstract" || text == "inline";
    });
}

// ---- macro arguments: raw tokens ----

// Copies up to the "," or ")" that ends one argument of a bracketed call.
bool copyBracketedArgument(TokenStream& ts) {
    TokensExpression& argument = nodeUnderConstruction<TokensExpression>();
    int depth = 0;
    for (;;) {
        const Token& t = *ts.current;
        if (t.kind == EndOfFile) return false;
        if (t.kind == OpeningBrace) ++depth;
        if (t.kind == ClosingBrace && --depth < 0) return true;
        if (depth == 0 && t.text == ",") return true;
        argument.push_back(t);
        ts.advance();
    }
}

// Copies the rest of the statement, up to and including its body or its empty pair.
bool copyOpenArgument(TokenStream& ts) {
    TokensExpression& argument = nodeUnderConstruction<TokensExpression>();
    int depth = 0;
    bool opened = false;
    for (;;) {
        const Token& t = *ts.current;
        if (t.kind == EndOfFile) return false;
        if (t.kind == OpeningBrace) {
            ++depth;
            opened = true;
        } else if (t.kind == ClosingBrace) {
            --depth;
        }
        argument.push_back(t);
        ts.advance();
        if (depth == 0 && opened) return true;
    }
}

// ---- imports ----

bool appendPathComponent(TokenStream& ts) {
    nodeUnderConstruction<ImportDeclaration>().path.push_back(previousText(ts));
    return true;
}

bool parseImport(TokenStream& ts) {
    ImportDeclarationPtr import = importRule().parse(ts);
    if (!import) return false;
    nodeUnderConstruction<Module>().addImport(import);
    return true;
}

// ---- variables: "A a, b" declares two variables ----

// The variable parsed so far goes to the enclosing block as it is; the current node goes on
// with the next name, keeping modifiers and type.
bool splitVariable(TokenStream&) {
    BlockPtr& block = constructionSlot<Block>();
    if (!block) return false;
    VariableDeclaration& current = nodeUnderConstruction<VariableDeclaration>();
    block->statements.push_back(boost::make_shared<VariableDeclaration>(current));
    current.initializers.clear();
    current.isConstructed = false;
    return true;
}

// ---- function bodies read past ----

// Set while a module is read only for the declarations an importer needs: its function bodies
// are then stepped over as balanced blocks, which costs a fraction of building them.
bool skippingFunctionBodies = false;

bool skipFunctionBody(TokenStream& ts) {
    if (!skippingFunctionBodies || ts.atEnd() || ts.kind() != OpeningBrace) return false;
    SourceLocation at = ts.location();
    int depth = 0;
    do {
        if (ts.kind() == OpeningBrace) ++depth;
        else if (ts.kind() == ClosingBrace) --depth;
        ts.advance();
    } while (depth > 0 && !ts.atEnd());
    BlockPtr body = boost::make_shared<Block>();
    body->location = at;
    nodeUnderConstruction<FunctionDeclaration>().body = body;
    return true;
}

// ---- properties: modifiers of one accessor ----

// Read before "get" or "set" and handed to that accessor right after the word.
AccessorModifiers pendingAccessorModifiers;

bool readAccessorModifiers(TokenStream& ts) {
    pendingAccessorModifiers = AccessorModifiers();
    for (;;) {
        const std::string& word = ts.current->text;
        if (word == "virtual")
            pendingAccessorModifiers.isVirtual = true;
        else if (word == "abstract")
            pendingAccessorModifiers.isAbstract = true;
        else if (word == "inline")
            pendingAccessorModifiers.isInline = true;
        else
            return true;
        ts.advance();
    }
}

bool modifiersToGetter(TokenStream&) {
    nodeUnderConstruction<PropertyDeclaration>().getterModifiers = pendingAccessorModifiers;
    return true;
}

bool modifiersToSetter(TokenStream&) {
    nodeUnderConstruction<PropertyDeclaration>().setterModifiers = pendingAccessorModifiers;
    return true;
}

// { modifier }: the access words every declaration may start with.
template <class T>
auto accessWord() {
    return lit("public") % setTo<T>(&T::access, Public) | lit("protected") % setTo<T>(&T::access, Protected) |
           lit("private") % setTo<T>(&T::access, Private);
}

// ---- the rules, in the order they are built ----

void buildTypeRules() {
    Rule<TypeExpression>& type = typeRule();
    Rule<TypeExpression>& primaryType = primaryTypeRule();
    Rule<Expression>& expression = expressionRule();
    Rule<TemplateCall>& templateCall = templateCallRule();

    // end-of-statement: "{" "}" | the statement closed itself
    endOfStatementRule().name = "end-of-statement";
    endOfStatementRule() = lit("{") >> "}" | func(statementEnded);

    // any expression: NoParser | type | expression
    anyExpressionRule().name = "any expresion";
    anyExpressionRule() = none<AnyExpression>() | type | expression;

    // primary type: ( prefix type operator | simple type | grouped type | tuple type )
    //   { "." TypeName → SubTypeExpr.name [ template call ] | "(" type { "," type } ")" → FuncType }
    typedef SubTypeExpr Sub;
    typedef FuncType Fn;
    primaryType = delivered<TypeExpression>(nested(
        (none<TypeExpression>() | prefixTypeOperatorRule() | simpleTypeRule() | groupedTypeRule() | tupleTypeRule()) >>
        many(link(wrap<Sub>(&Sub::scope, "." >> tok(TypeName) % to<Sub>(&Sub::name) >>
                                             opt(templateCall % to<Sub>(&Sub::templateArgs))) |
                  wrap<Fn>(&Fn::result, "(" >> type % to<Fn>(&Fn::arguments) >>
                                            many("," >> type % to<Fn>(&Fn::arguments)) >> ")")))));

    // type: primary type { postfix type operator wrapping the type so far }
    typedef TypeOperator Op;
    type.name = "type";
    type = delivered<TypeExpression>(remember<TypeExpression, AfterBracketOrAtStatementStart>(treePart(
        primaryType >>
        many(link(wrap<Op>(&Op::operand, lit("const") % setTo<Op>(&Op::kind, ConstType) |
                                                lit("volatile") % setTo<Op>(&Op::kind, VolatileType) |
                                                lit("*") % setTo<Op>(&Op::kind, PointerType) |
                                                lit("&") % setTo<Op>(&Op::kind, ReferenceType) |
                                                lit("$") % setTo<Op>(&Op::kind, SharedPointerType) |
                                                lit("#") % setTo<Op>(&Op::kind, ArrayType) >> expression % to<Op>(&Op::size) |
                                                lit("->") % setTo<Op>(&Op::kind, MapType) >> type % to<Op>(&Op::valueType)))))));

    // simple type: [ "typename" ] TypeName → name [ template call → templateArgs ]
    typedef SimpleTypeExpr Simple;
    simpleTypeRule() = opt(lit("typename")) >> tok(TypeName) % to<Simple>(&Simple::name) >>
                       opt(templateCall % to<Simple>(&Simple::templateArgs));

    // grouped type: "(" type ")", the type itself: `new (Int#8)` makes an array
    groupedTypeRule() = delivered<TypeExpression>("(" >> type >> ")");

    // tuple type: "(" type → elements { "," type → elements } ")"
    typedef TupleType Tuple;
    tupleTypeRule() = "(" >> type % to<Tuple>(&Tuple::elements) >> many("," >> type % to<Tuple>(&Tuple::elements)) >> ")";

    // prefix type operator: "[" type "]" ⇒ vector | ( "const" | "volatile" ) primary type
    prefixTypeOperatorRule() =
        "[" >> type % to<Op>(&Op::operand) >> lit("]") % setTo<Op>(&Op::kind, VectorType) |
        (lit("const") % setTo<Op>(&Op::kind, ConstType) | lit("volatile") % setTo<Op>(&Op::kind, VolatileType)) >>
            primaryType % to<Op>(&Op::operand);
}

void buildStatementRules() {
    Rule<Expression>& expression = expressionRule();
    Rule<Block>& block = blockRule();
    Rule<TypeExpression>& type = typeRule();
    Rule<MatchBool>& endOfStatement = endOfStatementRule();

    statementRule().name = "statement";
    statementRule() = none<Statement>() | forRule() | ifRule() | tryRule() | whileRule() | deleteRule() |
                      returnRule() | breakRule() | continueRule() | throwRule() | macroStatementRule() |
                      guardedBy(mayBeInitialiser, initStatementRule()) | declarationRule() | expressionStatementRule();

    // for: "for" for-part { "," for-part } block
    typedef ForStatement For;
    forRule() = "for" >> forPartRule() % to<For>(&For::parts) >> many("," >> forPartRule() % to<For>(&For::parts)) >>
                func(indentedBodyNext) >> block % to<For>(&For::body);

    // for-part: Name, name := previous token, "in" [ "reverse" ] expression → range
    typedef ForPart Part;
    forPartRule() = tok(Name) >> previous % to<Part>(&Part::name) >> "in" >>
                    opt(lit("reverse") % setTo<Part>(&Part::isReverse, true)) >> expression % to<Part>(&Part::range);

    // if: "if" ( expression block { "elseif" expression block } [ "else" block ]
    //          | "{" { expression block }+ [ "else" block ] "}" )
    typedef IfStatement If;
    auto branch = expression % to<If>(&If::conditions) >> func(indentedBodyNext) >> block % to<If>(&If::blocks);
    auto elseBranch = opt("else" >> func(indentedBodyNext) >> block % to<If>(&If::elseBlock));
    ifRule() = "if" >> (branch >> many("elseif" >> branch) >> elseBranch | "{" >> many1(branch) >> elseBranch >> "}");

    // try: "try" block { catch }
    typedef TryStatement Try;
    tryRule() = "try" >> block % to<Try>(&Try::body) >> many(catchRule() % to<Try>(&Try::handlers));

    // catch: "catch" ( "..." | type [ Name ], name := previous token ) block
    typedef CatchStatement Catch;
    catchRule() = "catch" >> (lit("...") | type % to<Catch>(&Catch::type) >> opt(tok(Name)) >> previous % to<Catch>(&Catch::name)) >>
                  block % to<Catch>(&Catch::body);

    // while: "while" expression block | "do" block "while" expression end-of-statement
    typedef WhileStatement While;
    whileRule() = "while" >> expression % to<While>(&While::condition) >> func(indentedBodyNext) >> block % to<While>(&While::body) |
                  lit("do") % setTo<While>(&While::isPostTested, true) >> block % to<While>(&While::body) >> "while" >>
                      expression % to<While>(&While::condition) >> endOfStatement;

    // delete: "delete" [ "#" ⇒ isArray ] expression end-of-statement
    typedef DeleteStatement Delete;
    deleteRule() = "delete" >> opt(lit("#") % setTo<Delete>(&Delete::isArray, true)) >>
                   expression % to<Delete>(&Delete::operand) >> endOfStatement;

    // return: "return" [ expression ] end-of-statement
    typedef ReturnStatement Return;
    returnRule() = "return" >> opt(expression % to<Return>(&Return::value)) >> endOfStatement;

    breakRule() = "break" >> endOfStatement;
    continueRule() = "continue" >> endOfStatement;

    // throw: "throw" ( "{" "}" | expression end-of-statement )
    typedef ThrowStatement Throw;
    throwRule() = "throw" >> (lit("{") >> "}" | expression % to<Throw>(&Throw::value) >> endOfStatement);

    // macro statement: macro call end-of-statement
    typedef MacroStatement MacroSt;
    macroStatementRule() = macroCallRule() % to<MacroSt>(&MacroSt::call) >> endOfStatement;

    // initialiser: ( "base" [ type ] | Name ) ":" "(" [ expression { "," expression } ] ")" end-of-statement
    typedef InitStatement Init;
    initStatementRule() =
        (lit("base") % to<Init>(&Init::member) >> opt(type % to<Init>(&Init::type)) | tok(Name) % to<Init>(&Init::member)) >>
        ":" >> "(" >>
        opt(expression % to<Init>(&Init::arguments) >> many("," >> expression % to<Init>(&Init::arguments))) >> ")" >>
        endOfStatement;

    // expression statement: expression ( end-of-statement | block → body )
    // The block is for a C macro that opens a statement; lowering checks that one is called.
    typedef ExpressionStatement ExprSt;
    expressionStatementRule() = expression % to<ExprSt>(&ExprSt::expression) >>
                                (endOfStatement | func(bracedBlockNext) >> block % to<ExprSt>(&ExprSt::body));
}

void buildExpressionRules() {
    Rule<Expression>& expression = expressionRule();
    Rule<TypeExpression>& type = typeRule();
    Rule<Block>& block = blockRule();
    Rule<TemplateCall>& templateCall = templateCallRule();

    // expression: push context, primary (then pop), { the expression continues: round }
    // The constant comes before the construction: in A"x" the A is an encoding, not a type
    // constructed without arguments (which it would be where ")" follows the string).
    typedef FuncExpression Call;
    typedef SubExpression Member;
    typedef TernaryOperExpression Cond;
    typedef PostfixOperExpression Postfix;
    typedef OperExpression Binary;
    auto arguments = [](auto target) {
        return ownContext(opt(expressionRule() % target >> many("," >> expressionRule() % target)));
    };
    // One round of the loop, wrapping the expression so far: call | index | member |
    // conditional | postfix | binary.
    auto round = link(wrap<Call>(&Call::function, opt(templateCall % to<Call>(&Call::templateArgs)) >> "(" >>
                                                      arguments(to<Call>(&Call::arguments)) >> ")") |
                      wrap<Binary>(&Binary::left, lit("[") % setTo<Binary>(&Binary::op, std::string("[")) >> func(binaryCheck) >>
                                                      finally(ownContext(expression % to<Binary>(&Binary::right)) >> "]",
                                                              popPrecedence)) |
                      wrap<Member>(&Member::object, (lit(".") | lit("->") % setTo<Member>(&Member::isArrow, true)) >>
                                                        func(binaryCheck) >>
                                                        finally(tok(Name) % to<Member>(&Member::member), popPrecedence)) |
                      wrap<Cond>(&Cond::condition, "?" >> func(binaryCheck) >>
                                                       finally(ownContext(expression % to<Cond>(&Cond::whenTrue)) >> ":" >>
                                                                   expression % to<Cond>(&Cond::whenFalse),
                                                               popPrecedence)) |
                      wrap<Postfix>(&Postfix::operand, (lit("++") | lit("--")) % to<Postfix>(&Postfix::op)) |
                      wrap<Binary>(&Binary::left, tok(Operator) % to<Binary>(&Binary::op) >> func(binaryCheck) >>
                                                      finally(expression % to<Binary>(&Binary::right), popPrecedence)));
    expression.name = "expression";
    expression = delivered<Expression>(remember<Expression>(nested(
        func(pushContext) >>
        finally(none<Expression>() | prefixOperatorRule() | conditionalRule() | macroExpressionRule() |
                    constantRule() | constructionRule() | tupleRule() | rangeRule() | sizeOfTypeRule() |
                    scopedValueRule() | staticNameRule(),
                popPrecedence) >>
        many(continuing(round)))));

    // prefix operator: Operator → operator, prefix check, expression → operand, then pop
    typedef PrefixOperExpression Prefix;
    prefixOperatorRule() = tok(Operator) % to<Prefix>(&Prefix::op) >> func(prefixCheck) >>
                           finally(expression % to<Prefix>(&Prefix::operand), popPrecedence);

    // conditional: "if" expression [ "then" ] expression "else" expression
    conditionalRule() = "if" >> expression % to<Cond>(&Cond::condition) >> opt(lit("then")) >>
                        expression % to<Cond>(&Cond::whenTrue) >> "else" >> expression % to<Cond>(&Cond::whenFalse);

    // macro expression: macro call
    typedef MacroExpression MacroEx;
    macroExpressionRule() = macroCallRule() % to<MacroEx>(&MacroEx::call);

    // construction: ( "new" ⇒ isHeap [ "$" ⇒ isShared ] type, then either made or no "(" next
    //                | type, then either made or the next-token check ), then no tuple type
    //   made: ( ":" "(" arguments ")" ⇒ hasArguments, optionally "with" block ) | "with" block
    typedef CtorExpression Ctor;
    auto made = either((":" >> lit("(") >> arguments(to<Ctor>(&Ctor::arguments)) >> ")") %
                           setTo<Ctor>(&Ctor::hasArguments, true),
                       "with" >> block % to<Ctor>(&Ctor::initializer));
    constructionRule() =
        (lit("new") % setTo<Ctor>(&Ctor::isHeap, true) >> opt(lit("$") % setTo<Ctor>(&Ctor::isShared, true)) >>
             type % to<Ctor>(&Ctor::type) >> either(made, func(noCppArguments)) |
         type % to<Ctor>(&Ctor::type) >> either(made, func(nextIsClosingBrace))) >>
        func(noTupleConstructed);

    // size of a type: "sizeof" → function "(" type → the one argument, a construction ")"
    // The size of a value of the type; the back end writes the type itself.
    typedef StaticExpression Static;
    sizeOfTypeRule() = sizeOfNameRule() % to<Call>(&Call::function) >> "(" >>
                       ownContext(sizeOfOperandRule() % to<Call>(&Call::arguments)) >> ")";
    sizeOfNameRule() = lit("sizeof") % to<Static>(&Static::name);
    sizeOfOperandRule() = type % to<Ctor>(&Ctor::type);

    // tuple: "(" expression { "," expression } ")"
    typedef TupleExpression Tuple;
    tupleRule() = "(" >> expression % to<Tuple>(&Tuple::elements) >>
                  many("," >> expression % to<Tuple>(&Tuple::elements)) >> ")";

    // range: ( "(" | "[" ⇒ startIncluded ) expression "..." [ expression ] ( ")" | "]" ⇒ endIncluded )
    typedef RangeExpression Range;
    rangeRule() = (lit("(") | lit("[") % setTo<Range>(&Range::startIncluded, true)) >> expression % to<Range>(&Range::start) >>
                  "..." >> opt(expression % to<Range>(&Range::end)) >>
                  (lit(")") | lit("]") % setTo<Range>(&Range::endIncluded, true));

    // constant: String | "A" String | "U" String | "8" String | Number
    typedef ConstantExpression Const;
    auto text = tok(String) % to<Const>(&Const::value);
    constantRule() = text | (lit("A") >> text) % setTo<Const>(&Const::encoding, EncodingA) |
                     (lit("U") >> text) % setTo<Const>(&Const::encoding, EncodingU) |
                     (lit("8") >> text) % setTo<Const>(&Const::encoding, Encoding8) | tok(Number) % to<Const>(&Const::value);

    // scoped value: type, which names a value through its last part (Unit.Foot)
    // A type reads A.B as a nested type; where a value stands, B is a member of A.
    scopedValueRule() = type % to<Static>(&Static::scope) >> func(lastPartIsName);

    // static name: [ type "." ] ( Name | TypeName )
    // A capitalised word that is not constructed is a value too: a C header's constant (Z_OK).
    // Lowering tells a type written where a value stands from such a constant.
    typedef StaticExpression Static;
    staticNameRule() = opt(type % to<Static>(&Static::scope) >> ".") >>
                       (tok(Name) | tok(TypeName)) >> previous % to<Static>(&Static::name) >> func(scopeBeforeDot);

    // macro call: MacroName [ "(" [ bracketed { "," bracketed } ] ")" | open argument ]
    typedef MacroCall Macro;
    macroCallRule() = tok(MacroName) % to<Macro>(&Macro::name) >>
                      opt("(" >> opt(bracketedArgumentRule() % to<Macro>(&Macro::arguments) >>
                                     many("," >> bracketedArgumentRule() % to<Macro>(&Macro::arguments))) >>
                              ")" |
                          openArgumentRule() % to<Macro>(&Macro::arguments));
    bracketedArgumentRule() = func(copyBracketedArgument);
    openArgumentRule() = func(copyOpenArgument);
}

void buildDeclarationRules() {
    Rule<Expression>& expression = expressionRule();
    Rule<TypeExpression>& type = typeRule();
    Rule<Block>& block = blockRule();
    Rule<Statement>& statement = statementRule();
    Rule<MatchBool>& endOfStatement = endOfStatementRule();
    Rule<TemplateDeclaration>& templateDeclaration = templateDeclarationRule();
    Rule<ArgumentDeclaration>& argument = argumentRule();

    // declaration: class | alias | function | property | variable | enum | macro
    declarationRule().name = "declaration";
    declarationRule() = none<Declaration>() | classRule() | aliasRule() | guardedBy(mayBeFunction, functionRule()) |
                        guardedBy(mayBeProperty, propertyRule()) |
                        variableRule() | enumRule() | macroDeclarationRule();

    // base: { access word | "virtual" } type
    typedef BaseDeclaration Base;
    baseRule() = many(accessWord<Base>() | lit("virtual") % setTo<Base>(&Base::isVirtual, true)) >> type % to<Base>(&Base::type);

    // class: { modifier | "static" } "class" ( TypeName | Name ) [ template declaration ] [ ":" base { "," base } ] block
    // (a Name is read so that lowering can say what is wrong with it)
    typedef ClassDeclaration Class;
    classRule().name = "class declaration";
    classRule() = many(accessWord<Class>() | lit("static") % setTo<Class>(&Class::isStatic, true)) >> "class" >>
                  (tok(TypeName) | tok(Name)) >> previous % to<Class>(&Class::name) >>
                  opt(templateDeclaration % to<Class>(&Class::templateDecl)) >>
                  opt(":" >> baseRule() % to<Class>(&Class::bases) >> many("," >> baseRule() % to<Class>(&Class::bases))) >>
                  block % to<Class>(&Class::body);

    // argument: { "mutable" | "virtual" } type [ Name [ "=" expression ] ]
    typedef ArgumentDeclaration Arg;
    argument = many(lit("mutable") % setTo<Arg>(&Arg::isMutable, true) | lit("virtual") % setTo<Arg>(&Arg::isVirtual, true)) >>
               type % to<Arg>(&Arg::type) >>
               opt(tok(Name) >> previous % to<Arg>(&Arg::name) >> opt("=" >> expression % to<Arg>(&Arg::defaultValue)));

    // function: { modifier | "virtual" | "abstract" | "static" | "inline" }
    //   ( type ( "operator" ( Operator | "(" ")" ) ⇒ isOperator | Name ) | "construct" | "destruct" ),
    //   name := previous token, [ template declaration ] "(" [ argument { "," argument } ] ")" [ "const" ] block
    typedef FunctionDeclaration Fn;
    auto argumentList = "(" >> opt(argument % to<Fn>(&Fn::arguments) >> many("," >> argument % to<Fn>(&Fn::arguments))) >> ")";
    functionRule().name = "function declaration";
    functionRule() =
        many(accessWord<Fn>() | lit("virtual") % setTo<Fn>(&Fn::isVirtual, true) |
             lit("abstract") % setTo<Fn>(&Fn::isAbstract, true) | lit("static") % setTo<Fn>(&Fn::isStatic, true) |
             lit("inline") % setTo<Fn>(&Fn::isInline, true)) >>
        (type % to<Fn>(&Fn::type) >>
             (("operator" >> (tok(Operator) | lit("(") >> ")")) % setTo<Fn>(&Fn::isOperator, true) | tok(Name)) |
         "construct" | "destruct") >>
        previous % to<Fn>(&Fn::name) >> opt(templateDeclaration % to<Fn>(&Fn::templateDecl)) >> argumentList >>
        opt(lit("const") % setTo<Fn>(&Fn::isConst, true)) >> (func(skipFunctionBody) | block % to<Fn>(&Fn::body));

    // property: { modifier } type Name, name := previous token, ( "{" { accessor }+ "}" | accessor )
    //   accessor: accessor modifiers ( "get" block → getter | "set" block → setter )
    typedef PropertyDeclaration Prop;
    auto accessor = func(readAccessorModifiers) >>
                    ("get" >> func(modifiersToGetter) >> block % to<Prop>(&Prop::getter) |
                     "set" >> func(modifiersToSetter) >> block % to<Prop>(&Prop::setter));
    propertyRule().name = "property declaration";
    propertyRule() = many(accessWord<Prop>()) >> type % to<Prop>(&Prop::type) >> tok(Name) >>
                     previous % to<Prop>(&Prop::name) >> ("{" >> many1(accessor) >> "}" | accessor);

    // variable: { modifier | "static" | "mutable" } ( type | "var" ) Name [ initialiser ]
    //   { "," split Name [ initialiser ] } end-of-statement
    // initialiser: "=" expression | ":" ⇒ isConstructed "(" [ expression { "," expression } ] ")"
    typedef VariableDeclaration Var;
    auto initialiser =
        "=" >> expression % to<Var>(&Var::initializers) |
        lit(":") % setTo<Var>(&Var::isConstructed, true) >> "(" >>
            opt(expression % to<Var>(&Var::initializers) >> many("," >> expression % to<Var>(&Var::initializers))) >> ")";
    auto declarator = tok(Name) >> previous % to<Var>(&Var::name) >> opt(initialiser);
    variableRule().name = "variable declaration";
    variableRule() = many(accessWord<Var>() | lit("static") % setTo<Var>(&Var::isStatic, true) |
                          lit("mutable") % setTo<Var>(&Var::isMutable, true)) >>
                     (type % to<Var>(&Var::type) | "var") >> declarator >> many("," >> func(splitVariable) >> declarator) >>
                     endOfStatement;

    // enum item: Name [ "=" expression ] [ "," ] [ "{" "}" ]
    typedef EnumItem Item;
    enumItemRule() = tok(Name) % to<Item>(&Item::name) >> opt("=" >> expression % to<Item>(&Item::value)) >>
                     opt(lit(",")) >> opt(lit("{") >> "}");

    // enum: [ access word ] "enum" TypeName "{" { enum item } "}"
    typedef EnumDeclaration Enum;
    enumRule().name = "enum declaration";
    enumRule() = opt(accessWord<Enum>()) >> "enum" >> tok(TypeName) >> previous % to<Enum>(&Enum::name) >> "{" >>
                 many(enumItemRule() % to<Enum>(&Enum::items)) >> "}";

    // alias: [ access word ] "alias" TypeName [ template declaration ] "=" type end-of-statement
    typedef TypeAliasDeclaration Alias;
    aliasRule().name = "alias declaration";
    aliasRule() = opt(accessWord<Alias>()) >> "alias" >> tok(TypeName) >> previous % to<Alias>(&Alias::name) >>
                  opt(templateDeclaration % to<Alias>(&Alias::templateDecl)) >> "=" >> type % to<Alias>(&Alias::type) >>
                  endOfStatement;

    // macro: "macro" MacroName "(" [ argument { "," argument } ] ")" block
    typedef MacroDeclaration Macro;
    macroDeclarationRule().name = "macro";
    macroDeclarationRule() = "macro" >> tok(MacroName) >> previous % to<Macro>(&Macro::name) >> "(" >>
                             opt(argument % to<Macro>(&Macro::arguments) >> many("," >> argument % to<Macro>(&Macro::arguments))) >>
                             ")" >> block % to<Macro>(&Macro::body);

    // block: "{" { skip( statement | access section ) } "}" | [ ":" ] statement
    auto intoBlock = statement % to<Block>(&Block::statements);
    block.name = "block";
    block = nested("{" >> many(skip(intoBlock | accessSectionRule())) >> "}" | opt(lit(":")) >> intoBlock);

    // access section: access word, then "{" { skip(statement) } "}" or "{" "}" { skip(statement) }
    accessSectionRule() = accessWord<Block>() >>
                          ("{" >> many(skip(intoBlock)) >> "}" | lit("{") >> "}" >> many(skip(intoBlock)));

    // import: { access word | "qualified" } "import" [ "qualified" ] ( TypeName | "*" ) append
    //   { "." ( TypeName | "*" ) append } end-of-statement
    typedef ImportDeclaration Import;
    auto qualified = lit("qualified") % setTo<Import>(&Import::isQualified, true);
    auto component = (tok(TypeName) | "*") >> func(appendPathComponent);
    importRule() = many(accessWord<Import>() | qualified) >> "import" >> opt(qualified) >> component >>
                   many("." >> component) >> endOfStatement;

    // module body: { import } { skip(statement) }
    moduleBodyRule() = many(func(parseImport)) >> many(skip(intoBlock));

    // module: module body → block EndOfFile | ⇒ complete = false
    moduleRule() = moduleBodyRule() % to<Module>(&Module::block) >> tok(EndOfFile) |
                   yes % setTo<Module>(&Module::complete, false);

    // template call: "[" [ any expression { "," any expression } ] "]"
    typedef TemplateCall Call;
    Rule<AnyExpression>& anyExpression = anyExpressionRule();
    templateCallRule() = "[" >> ownContext(opt(anyExpression % to<Call>(&Call::arguments) >>
                                               many("," >> anyExpression % to<Call>(&Call::arguments)))) >>
                         "]";

    // template declaration: "[" [ template argument { "," template argument } ] "]" [ template call ]
    typedef TemplateDeclaration TDecl;
    Rule<TemplateArgumentDeclaration>& templateArgument = templateArgumentRule();
    templateDeclaration = "[" >> opt(templateArgument % to<TDecl>(&TDecl::arguments) >> many("," >> templateArgument % to<TDecl>(&TDecl::arguments))) >>
                          "]" >> opt(templateCallRule() % to<TDecl>(&TDecl::specialization));

    // template argument: type Name [ "=" expression ] | TypeName ⇒ isType [ "=" type ]
    typedef TemplateArgumentDeclaration TArg;
    templateArgument = type % to<TArg>(&TArg::type) >> tok(Name) % to<TArg>(&TArg::name) >>
                           opt("=" >> expression % to<TArg>(&TArg::defaultValue)) |
                       tok(TypeName) % to<TArg>(&TArg::name) % setTo<TArg>(&TArg::isType, true) >>
                           opt("=" >> type % to<TArg>(&TArg::defaultType));
}

}  // namespace

namespace {

// ---- compile-time values that involve tree nodes and this grammar ----

const Token* singleTokenOf(const Object& value) {
    const TokensExpression* tokens = dynamic_cast<const TokensExpression*>(&value);
    if (!tokens) return nullptr;
    const Token* only = nullptr;
    for (const Token& token : *tokens) {
        if (token.kind == EndOfFile) continue;
        if (only) return nullptr;
        only = &token;
    }
    return only;
}

bool constantTextOf(const Object& value, std::string& text) {
    const ConstantExpression* constant = dynamic_cast<const ConstantExpression*>(&value);
    if (!constant) return false;
    text = constant->value;
    return true;
}

ObjectPtr statementOf(const ObjectPtr& value) {
    if (boost::dynamic_pointer_cast<Statement>(value)) return value;
    TokensExpressionPtr tokens = boost::dynamic_pointer_cast<TokensExpression>(value);
    if (!tokens) return ObjectPtr();
    return parseTokensAsStatement(*tokens);
}

}  // namespace

void buildSourceGrammar() {
    static bool built = false;
    grammarMode = 0;
    // Registered on every call, so that the source grammar's conversions are in force whenever
    // it is the grammar in use.
    NodeConversions conversions;
    conversions.singleToken = singleTokenOf;
    conversions.constantText = constantTextOf;
    conversions.toStatement = statementOf;
    setNodeConversions(conversions);
    if (built) return;
    built = true;
    // Declarations and blocks take their default access from the block being filled.
    blockUnderConstruction = &constructionSlot<Block>();
    buildTypeRules();
    buildExpressionRules();
    buildStatementRules();
    buildDeclarationRules();
}

ModulePtr parseModule(TokenStream& ts, const std::string& moduleName, bool declarationsOnly) {
    buildSourceGrammar();
    struct Skipping {
        explicit Skipping(bool on) { skippingFunctionBodies = on; }
        ~Skipping() { skippingFunctionBodies = false; }
    } skipping(declarationsOnly);
    ModulePtr module = parseRecordingOnError(ts, [&] {
        resetParseState();
        return moduleRule().parse(ts);
    });
    if (module) module->name = moduleName;
    return module;
}

StatementPtr parseTokensAsStatement(TokensExpression& tokens) {
    while (!tokens.empty() && tokens.back().kind == EndOfFile) tokens.pop_back();
    // A statement ends at the lexer's empty pair or at a closing "}"; code cut out of a line,
    // such as the argument printf("x"), has neither, so it gets the pair the line had.
    if (tokens.empty() || tokens.back().text != "}") {
        SourceLocation at = tokens.empty() ? tokens.location : tokens.back().location;
        tokens.push_back(Token(OpeningBrace, "{", at));
        tokens.push_back(Token(ClosingBrace, "}", at));
    }
    tokens.rewind();
    StatementPtr statement = parseRecordingOnError(tokens, [&] {
        resetParseState();
        return statementRule().parse(tokens);
    });
    // Tokens left over would be code silently lost.
    if (!statement || !tokens.atEnd()) return StatementPtr();
    return statement;
}
