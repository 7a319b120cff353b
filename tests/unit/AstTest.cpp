#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <cstring>
#include <iterator>
#include <set>

#include "tree/Ast.hpp"
#include "tree/AstDump.hpp"

namespace {

template <class E, class F>
std::string errorText(F f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(AstTest, TheNodeTableListsEachClassOnce) {
    std::set<std::string> names;
    for (const NodeClass& row : nodeClasses()) EXPECT_TRUE(names.insert(row.name).second) << row.name;
}

// A node's names as their users see them: the dump writes the class name, which tells apart the
// classes that share a type name, and macros meet the type name in what a node refuses.
TEST(AstTest, TheDumpNamesTheClassAndMacrosTheTypeName) {
    const struct {
        ASTObjectPtr node;
        const char* className;
        std::string typeName;
    } cases[] = {
        {boost::make_shared<OperExpression>(), "OperExpression", "OperatorExpression"},
        {boost::make_shared<Module>(), "Module", "Module_"},
        {boost::make_shared<IncludeModule>(), "IncludeModule", "Module_"},
        {boost::make_shared<UnionDeclaration>(), "UnionDeclaration", "Statement"},
    };
    ObjectPtr other = boost::make_shared<ConstantExpression>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.className);
        EXPECT_EQ(dumpTree(c.node).substr(0, strlen(c.className) + 1), std::string(c.className) + "\n");
        ObjectPtr node = c.node;
        EXPECT_EQ(errorText<NoOperator>([&] { node->unaryOperator("-"); }), "No operator - for type " + c.typeName);
        EXPECT_EQ(errorText<NoOperator>([&] { node->binaryOperator("==", other); }),
                  "No operator == for type " + c.typeName);
        EXPECT_EQ(errorText<NoMember>([&] { node->member("size"); }), c.typeName + " has no member 'size'");
        EXPECT_EQ(errorText<NoCall>([&] { node->call(ObjectList{other}); }), c.typeName + " is not a function");
    }
}

TEST(AstTest, SubTypeAnswersSecondWithItsNestedPart) {
    auto inner = boost::make_shared<SimpleTypeExpr>();
    inner->name = "Outer";
    auto args = boost::make_shared<TemplateCall>();
    auto sub = boost::make_shared<SubTypeExpr>();
    sub->scope = inner;
    sub->name = "Inner";
    sub->templateArgs = args;
    sub->location = SourceLocation(internFileName("s.vn"), 4, 2);

    ObjectPtr second = sub->member("second");
    auto nested = boost::dynamic_pointer_cast<SimpleTypeExpr>(second);
    ASSERT_TRUE(nested);
    EXPECT_EQ(nested->name, "Inner");
    EXPECT_EQ(nested->templateArgs, args);
    EXPECT_EQ(nested->location, sub->location);
    EXPECT_STREQ(second->typeName(), "SimpleTypeExpression");
    // The nested part is a new node; the type it came from is unchanged.
    EXPECT_EQ(sub->scope, inner);
    EXPECT_EQ(sub->name, "Inner");

    EXPECT_EQ(errorText<NoMember>([&] { sub->member("first"); }), "SubTypeExpression has no member 'first'");
    EXPECT_EQ(errorText<NoMember>([&] { sub->member("Second"); }), "SubTypeExpression has no member 'Second'");
    EXPECT_EQ(errorText<NoMember>([&] { boost::make_shared<SimpleTypeExpr>()->member("second"); }),
              "SimpleTypeExpression has no member 'second'");
}

TEST(AstTest, DeclarationsTakeTheAccessOfTheBlockUnderConstruction) {
    // The grammars set the pointer once, when they are first built: it must survive this test.
    struct Restore {
        const BlockPtr* saved = blockUnderConstruction;
        ~Restore() { blockUnderConstruction = saved; }
    } restore;
    blockUnderConstruction = nullptr;
    // Outside any parse there is no block under construction: public.
    EXPECT_EQ(boost::make_shared<VariableDeclaration>()->access, Public);
    EXPECT_EQ(boost::make_shared<Block>()->access, Public);

    BlockPtr slot;
    blockUnderConstruction = &slot;
    EXPECT_EQ(boost::make_shared<FunctionDeclaration>()->access, Public);  // slot still empty

    slot = boost::make_shared<Block>();
    slot->access = Private;  // as after a "private" section in a class body
    EXPECT_EQ(boost::make_shared<FunctionDeclaration>()->access, Private);
    EXPECT_EQ(boost::make_shared<ClassDeclaration>()->access, Private);
    EXPECT_EQ(boost::make_shared<ImportDeclaration>()->access, Private);
    EXPECT_EQ(boost::make_shared<Block>()->access, Private);
    slot->access = Protected;
    EXPECT_EQ(boost::make_shared<PropertyDeclaration>()->access, Protected);

    // Nodes that are no declarations have their own default.
    EXPECT_EQ(boost::make_shared<BaseDeclaration>()->access, Private);

    blockUnderConstruction = nullptr;
    EXPECT_EQ(boost::make_shared<EnumDeclaration>()->access, Public);
}

TEST(AstTest, StatementSlotSurvivesInsertionsAroundIt) {
    auto block = boost::make_shared<Block>();
    auto first = boost::make_shared<ExpressionStatement>();
    auto second = boost::make_shared<ReturnStatement>();
    block->statements.push_back(first);
    block->statements.push_back(second);

    StatementSlot slot;
    EXPECT_FALSE(slot.isSet());
    slot.block = block.get();
    slot.entry = std::next(block->statements.begin());
    ASSERT_TRUE(slot.isSet());

    auto inserted = boost::make_shared<BreakStatement>();
    block->statements.insert(slot.entry, inserted);
    block->statements.push_front(boost::make_shared<ContinueStatement>());
    block->statements.push_back(boost::make_shared<ThrowStatement>());
    EXPECT_EQ(*slot.entry, second);
    EXPECT_EQ(*std::prev(slot.entry), inserted);

    // Replacing what the slot holds is seen through the slot.
    auto replacement = boost::make_shared<ExpressionStatement>();
    *slot.entry = replacement;
    EXPECT_EQ(*std::next(block->statements.begin(), 3), replacement);
}

Token tok(TokenKind kind, const char* text, int column) {
    return Token(kind, text, SourceLocation(internFileName("t.vn"), 2, column));
}

TEST(AstTest, TokensExpressionReadsAsAStream) {
    auto tokens = boost::make_shared<TokensExpression>();
    EXPECT_EQ(tokens->streamName(), "macro argument");
    tokens->push_back(tok(Name, "a", 0));
    tokens->push_back(tok(Operator, "+", 2));
    tokens->rewind();
    ASSERT_EQ(tokens->size(), 3u);
    EXPECT_EQ(tokens->text(), "a");
    tokens->advance();
    EXPECT_EQ(tokens->text(), "+");
    tokens->advance();
    EXPECT_TRUE(tokens->atEnd());
    EXPECT_EQ(tokens->kind(), EndOfFile);
    // The end sits where the last token is.
    EXPECT_EQ(tokens->TokenStream::location(), tok(Operator, "+", 2).location);
    // Reading on past the end neither hangs nor leaves the stream.
    tokens->advance();
    tokens->advance();
    EXPECT_TRUE(tokens->atEnd());

    // Rewinding again starts over without a second end marker.
    const size_t before = tokens->size();
    tokens->expected.push_back(ExpectedName{"expression", false});
    tokens->errorPriority = 3;
    tokens->rewind();
    EXPECT_EQ(tokens->size(), before);
    EXPECT_EQ(tokens->text(), "a");
    EXPECT_TRUE(tokens->expected.empty());
    EXPECT_EQ(tokens->errorPriority, -1);
    EXPECT_TRUE(tokens->furthestError == tokens->begin());
}

TEST(AstTest, EmptyTokensExpressionEndsAtItsOwnPosition) {
    auto tokens = boost::make_shared<TokensExpression>();
    tokens->location = SourceLocation(internFileName("t.vn"), 7, 3);
    tokens->rewind();
    ASSERT_EQ(tokens->size(), 1u);
    EXPECT_TRUE(tokens->atEnd());
    EXPECT_EQ(tokens->TokenStream::location(), tokens->location);
}

TEST(AstTest, ImportsAreKeptOncePerPathAndNumbered) {
    Module module;
    auto a = boost::make_shared<ImportDeclaration>();
    a->path = {"A", "*"};
    auto b = boost::make_shared<ImportDeclaration>();
    b->path = {"B"};
    b->flags = ImportDeclaration::builtinImport | 77;
    auto again = boost::make_shared<ImportDeclaration>();
    again->path = {"A", "*"};

    EXPECT_TRUE(module.addImport(a));
    EXPECT_TRUE(module.addImport(b));
    EXPECT_FALSE(module.addImport(again));
    EXPECT_FALSE(module.addImport(ImportDeclarationPtr()));
    ASSERT_EQ(module.imports.size(), 2u);
    EXPECT_EQ(module.imports.at({"A", "*"}), a);
    EXPECT_EQ(a->flags, 0u);
    EXPECT_EQ(b->flags, ImportDeclaration::builtinImport | 1u);
}

TEST(AstTest, IncludesAreListedOnceInFirstOrder) {
    Module module;
    for (const char* include : {"<vector>", "<map>", "<vector>", "<map>", "\"own.h\""}) module.addInclude(include);
    EXPECT_EQ(module.includes, (std::vector<std::string>{"<vector>", "<map>", "\"own.h\""}));
}

// Each test starts with the counter at zero (FreshProcessState.cpp).
TEST(AstTest, FreshNamesShareOneCounterAcrossBases) {
    EXPECT_EQ(makeUniqueName("WITH_TEMP"), "VORN_WITH_TEMP1");
    EXPECT_EQ(makeUniqueName("ARG"), "VORN_ARG2");
    EXPECT_EQ(makeUniqueName("WITH_TEMP"), "VORN_WITH_TEMP3");
}

TEST(AstTest, EnumerationSpellings) {
    const char* access[] = {"private", "protected", "public"};
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(accessName(static_cast<Access>(i)), access[i]);
    const char* kinds[] = {"pointer", "shared pointer", "reference", "array", "vector", "map", "const", "volatile"};
    for (int i = 0; i < 8; ++i) EXPECT_STREQ(typeOperatorName(static_cast<TypeOperatorType>(i)), kinds[i]);
    EXPECT_STREQ(encodingName(Encoding8), "8");
    // A corrupted value is spelled visibly rather than read out of bounds.
    EXPECT_STREQ(accessName(static_cast<Access>(5)), "?");
}

}  // namespace
