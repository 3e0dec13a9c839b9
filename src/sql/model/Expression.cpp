#include "sql/model/Expression.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace korvanta {

namespace {

struct Token {
    enum class Kind { kWord, kName, kString, kNumber, kSymbol, kEnd };
    Kind kind = Kind::kEnd;
    std::string text;  // kWord as written; kName and kString their value; kSymbol the operator
};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool IsWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool IsWordPart(char c) {
    return IsWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}

// Splits the text into tokens; false, with `why`, at a character no expression here has.
class Tokenizer {
  public:
    Tokenizer(std::string_view text, const ExpressionSyntax& syntax)
        : text_(text), syntax_(syntax) {}

    bool Run(std::vector<Token>& tokens, std::string& why) {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++at_;
                continue;
            }
            Token token;
            if ((c == 'E' || c == 'e') && Next(1) == '\'') {
                ++at_;
                if (!String(true, token, why))
                    return false;
            } else if ((c == 'X' || c == 'x' || c == 'U' || c == 'u' || c == 'B' || c == 'b') &&
                       (Next(1) == '\'' || Next(1) == '&')) {
                why = "a literal written " + std::string(text_.substr(at_, 2));
                return false;
            } else if (c == '\'') {
                if (!String(syntax_.backslashStrings, token, why))
                    return false;
            } else if (c == '"' || c == '`' || (c == '[' && syntax_.bracketNames)) {
                if (!QuotedName(c == '[' ? ']' : c, token, why))
                    return false;
            } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                       (c == '.' && std::isdigit(static_cast<unsigned char>(Next(1))))) {
                Number(token);
            } else if (IsWordStart(c)) {
                const std::size_t start = at_;
                while (at_ < text_.size() && IsWordPart(text_[at_]))
                    ++at_;
                token.kind = Token::Kind::kWord;
                token.text = std::string(text_.substr(start, at_ - start));
            } else if (!Symbol(token)) {
                why = std::string("the character '") + c + "'";
                return false;
            }
            tokens.push_back(std::move(token));
        }
        tokens.push_back({});
        return true;
    }

  private:
    char Next(std::size_t ahead) const {
        return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0';
    }

    bool String(bool backslashes, Token& token, std::string& why) {
        token.kind = Token::Kind::kString;
        for (++at_; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c == '\'') {
                if (Next(1) == '\'') {
                    token.text += '\'';
                    ++at_;
                    continue;
                }
                ++at_;
                return true;
            }
            if (c == '\\' && backslashes) {
                const char e = Next(1);
                ++at_;
                switch (e) {
                    case 'n':
                        token.text += '\n';
                        break;
                    case 't':
                        token.text += '\t';
                        break;
                    case 'r':
                        token.text += '\r';
                        break;
                    case '\\':
                    case '\'':
                    case '"':
                        token.text += e;
                        break;
                    default:
                        why = std::string("the escape \\") + e + " in a string";
                        return false;
                }
                continue;
            }
            token.text += c;
        }
        why = "a string without its closing quote";
        return false;
    }

    bool QuotedName(char close, Token& token, std::string& why) {
        token.kind = Token::Kind::kName;
        for (++at_; at_ < text_.size(); ++at_) {
            if (text_[at_] == close) {
                if (close != ']' && Next(1) == close) {
                    token.text += close;
                    ++at_;
                    continue;
                }
                ++at_;
                return true;
            }
            token.text += text_[at_];
        }
        why = "a name without its closing quote";
        return false;
    }

    void Number(Token& token) {
        token.kind = Token::Kind::kNumber;
        const std::size_t start = at_;
        while (at_ < text_.size() &&
               (std::isdigit(static_cast<unsigned char>(text_[at_])) || text_[at_] == '.'))
            ++at_;
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            const std::size_t mark = at_;
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-'))
                ++at_;
            if (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) {
                while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_])))
                    ++at_;
            } else {
                at_ = mark;
            }
        }
        token.text = std::string(text_.substr(start, at_ - start));
    }

    bool Symbol(Token& token) {
        static const char* const kSymbols[] = {
            "!~~*", "!~~", "~~*", "::", "<>", "!=", "<=", ">=", "==", "||", "~~", "(", ")",
            ",",    "[",   "]",   "=",  "<",  ">",  "+",  "-",  "*",  "/",  "%",  ".", "~"};
        for (const char* symbol : kSymbols) {
            const std::string_view s(symbol);
            if (text_.substr(at_, s.size()) == s) {
                token.kind = Token::Kind::kSymbol;
                token.text = std::string(s);
                at_ += s.size();
                return true;
            }
        }
        return false;
    }

    std::string_view text_;
    const ExpressionSyntax& syntax_;
    std::size_t at_ = 0;
};

Expr Node(Expr::Kind kind, std::string text = {}, std::vector<Expr> args = {}) {
    Expr e;
    e.kind = kind;
    e.text = std::move(text);
    e.args = std::move(args);
    return e;
}

// Words that end a type name written after ::.
const std::set<std::string>& StopWords() {
    static const std::set<std::string> kWords = {
        "and",   "or",      "not",  "is",   "in",  "between", "like", "ilike",
        "glob",  "escape",  "then", "else", "end", "when",    "asc",  "desc",
        "nulls", "collate", "as",   "from", "for", "any",     "all",  "similar"};
    return kWords;
}

// A recursive-descent parser over the tokens, lowest precedence first.
class Parser {
  public:
    Parser(std::vector<Token> tokens, const ExpressionSyntax& syntax)
        : tokens_(std::move(tokens)), syntax_(syntax) {}

    std::optional<Expr> Run(std::string& why) {
        std::optional<Expr> expr = Or();
        if (expr && Peek().kind != Token::Kind::kEnd)
            Fail("\"" + Peek().text + "\" where the expression should end");
        if (!why_.empty()) {
            why = why_;
            return std::nullopt;
        }
        return expr;
    }

  private:
    const Token& Peek(std::size_t ahead = 0) const {
        return tokens_[std::min(at_ + ahead, tokens_.size() - 1)];
    }
    bool IsWord(std::string_view word, std::size_t ahead = 0) const {
        return Peek(ahead).kind == Token::Kind::kWord && Lower(Peek(ahead).text) == word;
    }
    bool IsSymbol(std::string_view symbol, std::size_t ahead = 0) const {
        return Peek(ahead).kind == Token::Kind::kSymbol && Peek(ahead).text == symbol;
    }
    bool TakeWord(std::string_view word) {
        if (!IsWord(word))
            return false;
        ++at_;
        return true;
    }
    bool TakeSymbol(std::string_view symbol) {
        if (!IsSymbol(symbol))
            return false;
        ++at_;
        return true;
    }
    std::optional<Expr> Fail(std::string why) {
        if (why_.empty())
            why_ = std::move(why);
        return std::nullopt;
    }
    bool Expect(std::string_view symbol) {
        if (TakeSymbol(symbol))
            return true;
        Fail("\"" + std::string(symbol) + "\" missing before \"" + Peek().text + "\"");
        return false;
    }

    // Operands joined left to right by the operators `take` finds: a op b op c.
    template <class Take>
    std::optional<Expr> Joined(std::optional<Expr> (Parser::*operand)(), Take take) {
        std::optional<Expr> left = (this->*operand)();
        std::string op;
        while (left && take(op)) {
            std::optional<Expr> right = (this->*operand)();
            if (!right)
                return std::nullopt;
            left = Node(Expr::Kind::kBinary, op, {std::move(*left), std::move(*right)});
        }
        return left;
    }
    // The word as the operator's name ("AND").
    auto Word(const char* word, const char* name) {
        return [this, word, name](std::string& op) {
            op = name;
            return TakeWord(word);
        };
    }
    // One of the symbols, as itself.
    auto Symbols(std::initializer_list<const char*> symbols) {
        return [this, symbols](std::string& op) {
            for (const char* symbol : symbols) {
                if (TakeSymbol(symbol)) {
                    op = symbol;
                    return true;
                }
            }
            return false;
        };
    }

    std::optional<Expr> Or() { return Joined(&Parser::And, Word("or", "OR")); }
    std::optional<Expr> And() { return Joined(&Parser::Not, Word("and", "AND")); }

    std::optional<Expr> Not() {
        if (TakeWord("not")) {
            std::optional<Expr> operand = Not();
            if (!operand)
                return std::nullopt;
            return Node(Expr::Kind::kUnary, "NOT", {std::move(*operand)});
        }
        return Predicate();
    }

    std::optional<Expr> Predicate() {
        std::optional<Expr> left = Concat();
        while (left) {
            std::optional<std::optional<Expr>> next = PredicateAfter(*left);
            if (!next)
                return left;
            left = std::move(*next);
        }
        return left;
    }

    // The predicate that `left` starts, if one follows it; nullopt inside when it fails.
    std::optional<std::optional<Expr>> PredicateAfter(Expr& left) {
        static const char* const kComparisons[] = {"=", "==", "<>", "!=", "<", "<=", ">", ">="};
        for (const char* op : kComparisons) {
            if (TakeSymbol(op))
                return Comparison(left, op);
        }
        if (IsWord("is"))
            return IsNull(left);
        const bool negated =
            IsWord("not") && (IsWord("in", 1) || IsWord("between", 1) || IsWord("like", 1) ||
                              IsWord("ilike", 1) || IsWord("glob", 1));
        if (negated)
            ++at_;
        if (TakeWord("in"))
            return In(left, negated);
        if (TakeWord("between"))
            return Between(left, negated);
        if (IsWord("like") || IsWord("ilike") || IsWord("glob")) {
            const std::string word = Lower(Peek().text);
            ++at_;
            const Expr::Match match = word == "glob" ? Expr::Match::kGlob
                                      : word == "ilike" || syntax_.likeIgnoresCase
                                          ? Expr::Match::kLikeIgnoringCase
                                          : Expr::Match::kLike;
            return Like(left, negated, match);
        }
        for (const char* op : {"~~", "~~*", "!~~", "!~~*"}) {
            if (TakeSymbol(op)) {
                const std::string s(op);
                return Like(left, s[0] == '!',
                            s.back() == '*' ? Expr::Match::kLikeIgnoringCase : Expr::Match::kLike);
            }
        }
        if (negated)
            return std::optional<Expr>(Fail("NOT where a predicate should follow"));
        if (IsSymbol("~") || IsWord("similar"))
            return std::optional<Expr>(Fail("a regular expression match"));
        return std::nullopt;
    }

    std::optional<Expr> Comparison(Expr& left, std::string op) {
        if (op == "==")
            op = "=";
        if (op == "!=")
            op = "<>";
        if ((IsWord("any") || IsWord("all")) && IsSymbol("(", 1)) {
            const bool any = IsWord("any");
            at_ += 2;
            std::optional<Expr> list = Concat();
            if (!list || !Expect(")"))
                return std::nullopt;
            // x = ANY (ARRAY[...]) is x IN (...), x <> ALL (ARRAY[...]) x NOT IN (...).
            const Expr* array = &*list;
            while (array->kind == Expr::Kind::kCast && array->text.find("[]") != std::string::npos)
                array = &array->args[0];
            if (array->kind != Expr::Kind::kFunction || array->text != "array" ||
                !((any && op == "=") || (!any && op == "<>")))
                return Fail(std::string(any ? "ANY" : "ALL") + " over other than a list");
            Expr in = Node(Expr::Kind::kIn, {}, {std::move(left)});
            in.negated = !any;
            for (const Expr& item : array->args)
                in.args.push_back(item);
            return in;
        }
        std::optional<Expr> right = Concat();
        if (!right)
            return std::nullopt;
        return Node(Expr::Kind::kBinary, op, {std::move(left), std::move(*right)});
    }

    std::optional<Expr> IsNull(Expr& left) {
        ++at_;  // IS
        const bool negated = TakeWord("not");
        if (!TakeWord("null"))
            return Fail("IS followed by \"" + Peek().text + "\"");
        Expr e = Node(Expr::Kind::kIsNull, {}, {std::move(left)});
        e.negated = negated;
        return e;
    }

    std::optional<Expr> In(Expr& left, bool negated) {
        if (!Expect("("))
            return std::nullopt;
        Expr e = Node(Expr::Kind::kIn, {}, {std::move(left)});
        e.negated = negated;
        if (!Items(e, ")"))
            return std::nullopt;
        return e;
    }

    // Items separated by commas up to `close`, added to the node's arguments.
    bool Items(Expr& e, std::string_view close) {
        if (TakeSymbol(close))
            return true;
        do {
            std::optional<Expr> item = Or();
            if (!item)
                return false;
            e.args.push_back(std::move(*item));
        } while (TakeSymbol(","));
        return Expect(close);
    }

    std::optional<Expr> Between(Expr& left, bool negated) {
        std::optional<Expr> low = Concat();
        if (!low || !TakeWord("and"))
            return Fail("BETWEEN without its AND");
        std::optional<Expr> high = Concat();
        if (!high)
            return std::nullopt;
        Expr e =
            Node(Expr::Kind::kBetween, {}, {std::move(left), std::move(*low), std::move(*high)});
        e.negated = negated;
        return e;
    }

    std::optional<Expr> Like(Expr& left, bool negated, Expr::Match match) {
        std::optional<Expr> pattern = Concat();
        if (!pattern)
            return std::nullopt;
        if (IsWord("escape"))
            return Fail("LIKE with ESCAPE");
        Expr e = Node(Expr::Kind::kLike, {}, {std::move(left), std::move(*pattern)});
        e.negated = negated;
        e.match = match;
        return e;
    }

    std::optional<Expr> Concat() { return Joined(&Parser::Additive, Symbols({"||"})); }
    std::optional<Expr> Additive() { return Joined(&Parser::Multiplicative, Symbols({"+", "-"})); }
    std::optional<Expr> Multiplicative() {
        return Joined(&Parser::Unary, Symbols({"*", "/", "%"}));
    }

    std::optional<Expr> Unary() {
        if (IsSymbol("-") || IsSymbol("+")) {
            const std::string op = tokens_[at_++].text;
            std::optional<Expr> operand = Unary();
            if (!operand)
                return std::nullopt;
            return Node(Expr::Kind::kUnary, op, {std::move(*operand)});
        }
        return Postfix();
    }

    std::optional<Expr> Postfix() {
        std::optional<Expr> operand = Primary();
        while (operand && TakeSymbol("::")) {
            std::optional<std::string> type = TypeName();
            if (!type)
                return std::nullopt;
            operand = Cast(std::move(*operand), *type);
        }
        if (operand && IsWord("collate"))
            return Fail("COLLATE in an expression");
        return operand;
    }

    Expr Cast(Expr operand, const std::string& type) {
        Expr e = Node(Expr::Kind::kCast, type, {std::move(operand)});
        if (syntax_.typeOf)
            e.type = syntax_.typeOf(type);
        return e;
    }

    // A type's name after ::, as many words as make it ("character varying(30)[]").
    std::optional<std::string> TypeName() {
        std::string name;
        if (Peek().kind == Token::Kind::kName) {
            name = tokens_[at_++].text;
        } else {
            while (Peek().kind == Token::Kind::kWord && !StopWords().count(Lower(Peek().text)))
                name += (name.empty() ? "" : " ") + tokens_[at_++].text;
        }
        if (name.empty()) {
            Fail("a cast without its type");
            return std::nullopt;
        }
        if (TakeSymbol("(")) {
            name += "(";
            while (!IsSymbol(")") && Peek().kind != Token::Kind::kEnd)
                name += tokens_[at_++].text;
            if (!Expect(")"))
                return std::nullopt;
            name += ")";
        }
        while (IsSymbol("[") && IsSymbol("]", 1)) {
            at_ += 2;
            name += "[]";
        }
        return name;
    }

    std::optional<Expr> Primary() {
        const Token& token = Peek();
        switch (token.kind) {
            case Token::Kind::kEnd:
                return Fail("the expression ends too soon");
            case Token::Kind::kString:
                ++at_;
                return Node(Expr::Kind::kString, token.text);
            case Token::Kind::kNumber:
                ++at_;
                return Node(Expr::Kind::kNumber, token.text);
            case Token::Kind::kName:
                ++at_;
                if (IsSymbol("("))
                    return Function(Lower(token.text));
                return Qualified(token.text);
            case Token::Kind::kSymbol:
                if (TakeSymbol("(")) {
                    std::optional<Expr> inner = Or();
                    if (!inner || !Expect(")"))
                        return std::nullopt;
                    return inner;
                }
                return Fail("\"" + token.text + "\" where a value should be");
            case Token::Kind::kWord:
                break;
        }
        return WordValue();
    }

    std::optional<Expr> WordValue() {
        const std::string word = Lower(Peek().text);
        const std::string asWritten = Peek().text;
        ++at_;
        if (word == "null")
            return Node(Expr::Kind::kNull);
        if (word == "true" || word == "false")
            return Node(Expr::Kind::kBoolean, word);
        if (word == "cast" && IsSymbol("("))
            return CastCall();
        if (word == "array" && TakeSymbol("["))
            return List("array", "]");
        if (word == "case" || word == "exists" || word == "select")
            return Fail(Upper(word) + " in an expression");
        // CURRENT DATE, CURRENT TIME, CURRENT TIMESTAMP (SQL Anywhere's spelling).
        if (word == "current" && (IsWord("date") || IsWord("time") || IsWord("timestamp")))
            return Clock("current_" + Lower(tokens_[at_++].text));
        if (word == "current_user" || word == "session_user" || word == "current_role" ||
            word == "current_schema" || word == "current_catalog")
            return Node(Expr::Kind::kFunction, word);
        if (word == "current_date" || word == "current_time" || word == "current_timestamp" ||
            word == "localtime" || word == "localtimestamp")
            return Clock(word);
        if (IsSymbol("("))
            return Function(word);
        return Qualified(asWritten);
    }

    static std::string Upper(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return text;
    }

    // A clock's name with the digits of a second asked for, when given.
    std::optional<Expr> Clock(const std::string& name) {
        Expr e = Node(Expr::Kind::kFunction, name);
        if (TakeSymbol("(")) {
            if (Peek().kind != Token::Kind::kNumber)
                return Fail(name + " with other than digits");
            e.args.push_back(Node(Expr::Kind::kNumber, tokens_[at_++].text));
            if (!Expect(")"))
                return std::nullopt;
        }
        return e;
    }

    // A column, possibly behind its table's name: only the column counts.
    std::optional<Expr> Qualified(std::string name) {
        while (TakeSymbol(".")) {
            if (Peek().kind != Token::Kind::kWord && Peek().kind != Token::Kind::kName)
                return Fail("a name ending in \".\"");
            name = tokens_[at_++].text;
        }
        return Node(Expr::Kind::kColumn, std::move(name));
    }

    std::optional<Expr> CastCall() {
        ++at_;  // (
        std::optional<Expr> operand = Or();
        if (!operand || !TakeWord("as"))
            return Fail("CAST without AS");
        std::string type;
        int depth = 0;
        while (Peek().kind != Token::Kind::kEnd && (depth > 0 || !IsSymbol(")"))) {
            const Token& t = tokens_[at_++];
            depth += t.text == "(" ? 1 : t.text == ")" ? -1 : 0;
            const bool glue = t.text == "(" || t.text == ")" || t.text == "," ||
                              (!type.empty() && (type.back() == '(' || type.back() == ','));
            type += (type.empty() || glue ? "" : " ") + t.text;
        }
        if (!Expect(")"))
            return std::nullopt;
        return Cast(std::move(*operand), type);
    }

    std::optional<Expr> Function(const std::string& name) {
        ++at_;  // (
        if (TakeSymbol(")"))
            return Node(Expr::Kind::kFunction, name);
        if (IsSymbol("*") || IsWord("distinct"))
            return Fail("the aggregate " + name);
        // SUBSTRING(x FROM a FOR b) is substring(x, a, b).
        Expr e = Node(Expr::Kind::kFunction, name);
        do {
            std::optional<Expr> arg = Or();
            if (!arg)
                return std::nullopt;
            e.args.push_back(std::move(*arg));
        } while (TakeSymbol(",") || TakeWord("from") || TakeWord("for"));
        if (!Expect(")"))
            return std::nullopt;
        return e;
    }

    std::optional<Expr> List(const std::string& name, std::string_view close) {
        Expr e = Node(Expr::Kind::kFunction, name);
        if (!Items(e, close))
            return std::nullopt;
        return e;
    }

    std::vector<Token> tokens_;
    const ExpressionSyntax& syntax_;
    std::size_t at_ = 0;
    std::string why_;
};

}  // namespace

std::optional<Expr> ParseExpression(std::string_view text, const ExpressionSyntax& syntax,
                                    std::string& why) {
    std::vector<Token> tokens;
    if (!Tokenizer(text, syntax).Run(tokens, why))
        return std::nullopt;
    return Parser(std::move(tokens), syntax).Run(why);
}

bool RenameColumns(Expr& expr,
                   const std::function<std::optional<std::string>(std::string_view)>& rename,
                   std::string& why) {
    if (expr.kind == Expr::Kind::kColumn) {
        std::optional<std::string> name = rename(expr.text);
        if (!name) {
            why = "\"" + expr.text + "\", which is no column of the table";
            return false;
        }
        expr.text = std::move(*name);
        return true;
    }
    for (Expr& arg : expr.args) {
        if (!RenameColumns(arg, rename, why))
            return false;
    }
    return true;
}

bool RefersToColumns(const Expr& expr) {
    if (expr.kind == Expr::Kind::kColumn)
        return true;
    return std::any_of(expr.args.begin(), expr.args.end(),
                       [](const Expr& arg) { return RefersToColumns(arg); });
}

}  // namespace korvanta
