#include "database/datalink/DLExprCompiler.h"

#include <cctype>

namespace kelvar {

namespace {

enum TTokKind { tkEnd, tkName, tkQuotedName, tkString, tkNumber, tkSymbol };

struct TTok {
    TTokKind Kind = tkEnd;
    std::string Text;
    size_t Pos = 0;
};

class TCompiler {
public:
    TCompiler(const std::string& text, const TDLFilterOptions& options) : S(text), Options(options) { Advance(); }

    std::unique_ptr<TDLExprNode> Compile() {
        auto root = ParseOr();
        if (Cur.Kind != tkEnd) Fail("Operator or end of expression expected but '" + Cur.Text + "' found");
        return root;
    }

private:
    const std::string& S;
    TDLFilterOptions Options;
    size_t Pos = 0;
    TTok Cur;
    // Nesting of the tree being built: parentheses, NOT, unary minus and each further operand of
    // a chain (a or b or c ...) go one level deeper. Evaluating and freeing the tree recurse
    // over it, so a text nested without end must be refused instead of running out of stack.
    static constexpr int MaxDepth = 256;
    int Depth = 0;

    struct TLevel {
        TCompiler& C;
        int Saved;
        // Deeper: this node is itself a level; otherwise only the chain below it counts.
        explicit TLevel(TCompiler& c, bool deeper = true) : C(c), Saved(c.Depth) {
            if (deeper) C.Deeper();
        }
        ~TLevel() { C.Depth = Saved; }
        TLevel(const TLevel&) = delete;
        TLevel& operator=(const TLevel&) = delete;
    };

    void Deeper() {
        if (++Depth > MaxDepth) Fail("expression nested too deeply");
    }

    [[noreturn]] void Fail(const std::string& what) {
        throw EDatabaseError("Filter expression incorrectly formed: " + what + " at position " +
                             std::to_string(Cur.Pos + 1));
    }

    void Advance() {
        while (Pos < S.size() && std::isspace(static_cast<unsigned char>(S[Pos]))) ++Pos;
        Cur = TTok{};
        Cur.Pos = Pos;
        if (Pos >= S.size()) return;
        char c = S[Pos];
        if (c == '\'') {
            std::string text;
            ++Pos;
            for (;;) {
                if (Pos >= S.size()) Fail("unterminated string");
                if (S[Pos] == '\'') {
                    if (Pos + 1 < S.size() && S[Pos + 1] == '\'') {
                        text += '\'';
                        Pos += 2;
                        continue;
                    }
                    ++Pos;
                    break;
                }
                text += S[Pos++];
            }
            Cur.Kind = tkString;
            Cur.Text = text;
            return;
        }
        if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            size_t end = S.find(close, Pos + 1);
            if (end == std::string::npos) Fail("unterminated name");
            Cur.Kind = tkQuotedName;
            Cur.Text = S.substr(Pos + 1, end - Pos - 1);
            Pos = end + 1;
            return;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            (c == '.' && Pos + 1 < S.size() && std::isdigit(static_cast<unsigned char>(S[Pos + 1])))) {
            size_t start = Pos;
            while (Pos < S.size() && (std::isdigit(static_cast<unsigned char>(S[Pos])) || S[Pos] == '.')) ++Pos;
            Cur.Kind = tkNumber;
            Cur.Text = S.substr(start, Pos - start);
            return;
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
            size_t start = Pos;
            while (Pos < S.size() && (std::isalnum(static_cast<unsigned char>(S[Pos])) || S[Pos] == '_' ||
                                      S[Pos] == '$' || S[Pos] == '.' || static_cast<unsigned char>(S[Pos]) >= 0x80))
                ++Pos;
            Cur.Kind = tkName;
            Cur.Text = S.substr(start, Pos - start);
            return;
        }
        static const char* const twoChar[] = {"<>", "<=", ">=", "!="};
        for (const char* t : twoChar) {
            if (S.compare(Pos, 2, t) == 0) {
                Cur.Kind = tkSymbol;
                Cur.Text = t;
                Pos += 2;
                return;
            }
        }
        Cur.Kind = tkSymbol;
        Cur.Text = std::string(1, c);
        ++Pos;
    }

    bool IsWord(const char* w) const { return Cur.Kind == tkName && UpperCase(Cur.Text) == w; }
    bool IsSym(const char* s) const { return Cur.Kind == tkSymbol && Cur.Text == s; }

    void Expect(const char* s) {
        if (!IsSym(s)) Fail(std::string("'") + s + "' expected but '" + Cur.Text + "' found");
        Advance();
    }

    static std::unique_ptr<TDLExprNode> Make(TDLNodeClass cls, TDLCanOp op) {
        auto n = std::make_unique<TDLExprNode>();
        n->NodeClass = cls;
        n->Operator = op;
        return n;
    }

    static std::unique_ptr<TDLExprNode> Binary(TDLCanOp op, std::unique_ptr<TDLExprNode> a,
                                               std::unique_ptr<TDLExprNode> b) {
        auto n = Make(nodeBINARY, op);
        n->Args.push_back(std::move(a));
        n->Args.push_back(std::move(b));
        return n;
    }

    std::unique_ptr<TDLExprNode> ParseOr() {
        TLevel level(*this);
        auto left = ParseAnd();
        while (IsWord("OR")) {
            Deeper();
            Advance();
            left = Binary(coOR, std::move(left), ParseAnd());
        }
        return left;
    }

    std::unique_ptr<TDLExprNode> ParseAnd() {
        TLevel level(*this, false);
        auto left = ParseNot();
        while (IsWord("AND")) {
            Deeper();
            Advance();
            left = Binary(coAND, std::move(left), ParseNot());
        }
        return left;
    }

    std::unique_ptr<TDLExprNode> ParseNot() {
        if (IsWord("NOT")) {
            TLevel level(*this);
            Advance();
            auto n = Make(nodeUNARY, coNOT);
            n->Args.push_back(ParseNot());
            return n;
        }
        return ParseCompare();
    }

    // Text comparisons of a field with a constant honour the filter's case and partial options.
    std::unique_ptr<TDLExprNode> CompareNode(TDLCanOp op, std::unique_ptr<TDLExprNode> a,
                                             std::unique_ptr<TDLExprNode> b) {
        const TDLExprNode* field =
            a->NodeClass == nodeFIELD ? a.get() : (b->NodeClass == nodeFIELD ? b.get() : nullptr);
        const TDLExprNode* constant =
            a->NodeClass == nodeCONST ? a.get() : (b->NodeClass == nodeCONST ? b.get() : nullptr);
        if ((op == coEQ || op == coNE) && field && constant && constant->ConstType == ftString) {
            auto n = Make(nodeCOMPARE, op);
            n->CaseInsensitive = Options.CaseInsensitive;
            if (!Options.NoPartialCompare) {
                std::string text = constant->Value.AsString();
                size_t star = text.find('*');
                if (star != std::string::npos && star > 0) n->PartialLength = static_cast<int>(star);
            }
            n->Args.push_back(std::move(a));
            n->Args.push_back(std::move(b));
            return n;
        }
        return Binary(op, std::move(a), std::move(b));
    }

    std::unique_ptr<TDLExprNode> ParseCompare() {
        auto left = ParseAdd();
        struct {
            const char* sym;
            TDLCanOp op;
        } static const ops[] = {{"=", coEQ}, {"<>", coNE}, {"!=", coNE}, {"<", coLT},
                                {">", coGT}, {"<=", coLE}, {">=", coGE}};
        for (const auto& o : ops) {
            if (IsSym(o.sym)) {
                Advance();
                return CompareNode(o.op, std::move(left), ParseAdd());
            }
        }
        if (IsWord("LIKE")) {
            Advance();
            return Binary(coLIKE, std::move(left), ParseAdd());
        }
        if (IsWord("IN")) {
            Advance();
            Expect("(");
            auto list = Make(nodeLIST, coLIST);
            if (!IsSym(")")) {
                list->Args.push_back(ParseOr());
                while (IsSym(",")) {
                    Advance();
                    list->Args.push_back(ParseOr());
                }
            }
            Expect(")");
            return Binary(coIN, std::move(left), std::move(list));
        }
        if (IsWord("IS")) {
            Advance();
            bool negate = false;
            if (IsWord("NOT")) {
                negate = true;
                Advance();
            }
            if (!IsWord("NULL")) Fail("NULL expected but '" + Cur.Text + "' found");
            Advance();
            auto n = Make(nodeUNARY, negate ? coNOTBLANK : coISBLANK);
            n->Args.push_back(std::move(left));
            return n;
        }
        return left;
    }

    std::unique_ptr<TDLExprNode> ParseAdd() {
        TLevel level(*this, false);
        auto left = ParseMul();
        while (IsSym("+") || IsSym("-")) {
            TDLCanOp op = IsSym("+") ? coADD : coSUB;
            Deeper();
            Advance();
            left = Binary(op, std::move(left), ParseMul());
        }
        return left;
    }

    std::unique_ptr<TDLExprNode> ParseMul() {
        TLevel level(*this, false);
        auto left = ParseUnary();
        for (;;) {
            TDLCanOp op;
            if (IsSym("*"))
                op = coMUL;
            else if (IsSym("/"))
                op = coDIV;
            else if (IsSym("%"))
                op = coMOD;
            else if (IsWord("MOD"))
                op = coREM;
            else
                break;
            Deeper();
            Advance();
            left = Binary(op, std::move(left), ParseUnary());
        }
        return left;
    }

    std::unique_ptr<TDLExprNode> ParseUnary() {
        if (IsSym("-")) {
            TLevel level(*this);
            Advance();
            auto n = Make(nodeUNARY, coMINUS);
            n->Args.push_back(ParseUnary());
            return n;
        }
        if (IsSym("+")) Advance();
        return ParsePrimary();
    }

    std::unique_ptr<TDLExprNode> Constant(TFieldType type, TDLVariant value) {
        auto n = Make(nodeCONST, coNOTDEFINED);
        n->ConstType = type;
        n->Value = std::move(value);
        return n;
    }

    std::unique_ptr<TDLExprNode> ParsePrimary() {
        switch (Cur.Kind) {
            case tkString: {
                auto n = Constant(ftString, Cur.Text);
                Advance();
                return n;
            }
            case tkNumber: {
                std::string t = Cur.Text;
                Advance();
                if (t.find('.') != std::string::npos) return Constant(ftFloat, std::strtod(t.c_str(), nullptr));
                return Constant(ftInteger, static_cast<int64_t>(std::strtoll(t.c_str(), nullptr, 10)));
            }
            case tkQuotedName: {
                auto n = Make(nodeFIELD, coNOTDEFINED);
                n->Name = Cur.Text;
                Advance();
                return n;
            }
            case tkName: {
                std::string name = Cur.Text;
                std::string upper = UpperCase(name);
                Advance();
                if (upper == "NULL") return Make(nodeNULL, coNOTDEFINED);
                if (upper == "TRUE") return Constant(ftBoolean, true);
                if (upper == "FALSE") return Constant(ftBoolean, false);
                if (IsSym("(")) {
                    Advance();
                    std::vector<std::unique_ptr<TDLExprNode>> args;
                    if (!IsSym(")")) {
                        args.push_back(ParseOr());
                        while (IsSym(",")) {
                            Advance();
                            args.push_back(ParseOr());
                        }
                    }
                    Expect(")");
                    if ((upper == "UPPER" || upper == "LOWER") && args.size() == 1) {
                        auto n = Make(nodeUNARY, upper == "UPPER" ? coUPPER : coLOWER);
                        n->Args.push_back(std::move(args[0]));
                        return n;
                    }
                    auto n = Make(nodeFUNC, coFUNC2);
                    n->Name = name;
                    if (args.size() == 1) {
                        n->Args.push_back(std::move(args[0]));
                    } else if (args.size() > 1) {
                        auto list = Make(nodeLIST, coLIST);
                        list->Args = std::move(args);
                        n->Args.push_back(std::move(list));
                    }
                    return n;
                }
                auto n = Make(nodeFIELD, coNOTDEFINED);
                n->Name = name;
                return n;
            }
            case tkSymbol:
                if (IsSym("(")) {
                    Advance();
                    auto inner = ParseOr();
                    if (IsSym(",")) {
                        auto list = Make(nodeLIST, coLIST);
                        list->Args.push_back(std::move(inner));
                        while (IsSym(",")) {
                            Advance();
                            list->Args.push_back(ParseOr());
                        }
                        inner = std::move(list);
                    }
                    Expect(")");
                    return inner;
                }
                Fail("operand expected but '" + Cur.Text + "' found");
            case tkEnd: break;
        }
        Fail("unexpected end of expression");
    }
};

}  // namespace

TDLCompiledExpr CompileFilterExpression(const std::string& text, const TDLFilterOptions& options) {
    TDLCompiledExpr result;
    TCompiler compiler(text, options);
    result.Root = compiler.Compile();
    return result;
}

}  // namespace kelvar
