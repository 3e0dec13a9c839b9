#include "sql/dialect/SqliteStatement.h"

#include <cctype>
#include <utility>

#include "sql/dialect/CatalogText.h"

namespace korvanta {

namespace {

using catalogtext::Lower;
using catalogtext::Trim;

// A piece of a statement: a word, a quoted name, a string, a parenthesized group (whole,
// with its parentheses), or one other character.
struct Piece {
    enum class Kind { kWord, kName, kString, kGroup, kSymbol };
    Kind kind = Kind::kSymbol;
    std::string value;  // a word in lower case, a name unquoted; else the text as written
    std::size_t begin = 0;
    std::size_t end = 0;

    bool Is(std::string_view word) const { return kind == Kind::kWord && value == word; }
    // The text between a group's parentheses.
    std::string Inner() const { return value.substr(1, value.size() - 2); }
};

// The end of a quoted run that starts at `at` with `open`, closed by `close` (doubled
// inside where it is the same character).
std::size_t QuotedEnd(std::string_view text, std::size_t at, char close) {
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] != close)
            continue;
        if (close != ']' && i + 1 < text.size() && text[i + 1] == close) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return text.size();
}

std::size_t GroupEnd(std::string_view text, std::size_t at) {
    int depth = 0;
    for (std::size_t i = at; i < text.size();) {
        const char c = text[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            i = QuotedEnd(text, i, c == '[' ? ']' : c);
            continue;
        }
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        ++i;
        if (depth == 0)
            return i;
    }
    return text.size();
}

std::string Unquoted(std::string_view quoted) {
    const char close = quoted.front() == '[' ? ']' : quoted.front();
    std::string name;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        name += quoted[i];
        if (quoted[i] == close && close != ']')
            ++i;
    }
    return name;
}

std::vector<Piece> Pieces(std::string_view text) {
    std::vector<Piece> pieces;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (text.substr(i, 2) == "--") {
            const std::size_t eol = text.find('\n', i);
            i = eol == std::string_view::npos ? text.size() : eol;
            continue;
        }
        if (text.substr(i, 2) == "/*") {
            const std::size_t close = text.find("*/", i + 2);
            i = close == std::string_view::npos ? text.size() : close + 2;
            continue;
        }
        Piece piece;
        piece.begin = i;
        if (c == '"' || c == '`' || c == '[') {
            i = QuotedEnd(text, i, c == '[' ? ']' : c);
            piece.kind = Piece::Kind::kName;
            piece.value = Unquoted(text.substr(piece.begin, i - piece.begin));
        } else if (c == '\'') {
            i = QuotedEnd(text, i, '\'');
            piece.kind = Piece::Kind::kString;
        } else if (c == '(') {
            i = GroupEnd(text, i);
            piece.kind = Piece::Kind::kGroup;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
                   static_cast<unsigned char>(c) >= 0x80) {
            while (i < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_' ||
                    text[i] == '$' || static_cast<unsigned char>(text[i]) >= 0x80))
                ++i;
            piece.kind = Piece::Kind::kWord;
            piece.value = Lower(text.substr(piece.begin, i - piece.begin));
        } else {
            ++i;
        }
        piece.end = i;
        if (piece.kind != Piece::Kind::kWord && piece.kind != Piece::Kind::kName)
            piece.value = std::string(text.substr(piece.begin, i - piece.begin));
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

// The pieces of a list, split at its top-level commas.
std::vector<std::vector<Piece>> Elements(std::string_view list) {
    std::vector<std::vector<Piece>> elements(1);
    for (Piece& piece : Pieces(list)) {
        if (piece.kind == Piece::Kind::kSymbol && piece.value == ",")
            elements.emplace_back();
        else
            elements.back().push_back(std::move(piece));
    }
    return elements;
}

// The names a group lists: "(a, b DESC)" gives a and b.
std::vector<std::string> Names(const Piece& group) {
    std::vector<std::string> names;
    for (const std::vector<Piece>& element : Elements(group.Inner())) {
        if (!element.empty())
            names.push_back(element[0].value);
    }
    return names;
}

// A foreign key's DEFERRABLE [INITIALLY DEFERRED] from `at` on.
void Deferral(const std::vector<Piece>& part, std::size_t at, SqliteTableText::Reference& key) {
    for (std::size_t i = at; i < part.size(); ++i) {
        if (part[i].Is("not") && i + 1 < part.size() && part[i + 1].Is("deferrable"))
            return;
        if (part[i].Is("deferrable")) {
            key.deferrable = true;
            key.initiallyDeferred =
                i + 2 < part.size() && part[i + 1].Is("initially") && part[i + 2].Is("deferred");
            return;
        }
    }
}

void TableConstraint(const std::vector<Piece>& part, SqliteTableText& read) {
    std::size_t i = 0;
    std::string name;
    if (part[0].Is("constraint") && part.size() > 1) {
        name = part[1].value;
        i = 2;
    }
    const auto groupAfter = [&](std::size_t from) -> const Piece* {
        for (std::size_t j = from; j < part.size(); ++j) {
            if (part[j].kind == Piece::Kind::kGroup)
                return &part[j];
        }
        return nullptr;
    };
    if (i >= part.size())
        return;
    const Piece* group = groupAfter(i);
    if (part[i].Is("primary")) {
        read.primaryKeyName = name;
    } else if (part[i].Is("unique") && group) {
        read.uniques.push_back({name, Names(*group)});
    } else if (part[i].Is("check") && group) {
        read.checks.push_back({name, {group->Inner(), {}, {}}, {}, {}});
    } else if (part[i].Is("foreign") && group) {
        SqliteTableText::Reference key;
        key.name = name;
        key.columns = Names(*group);
        for (std::size_t j = i; j + 1 < part.size(); ++j) {
            if (part[j].Is("references")) {
                key.table = part[j + 1].value;
                Deferral(part, j, key);
                break;
            }
        }
        read.references.push_back(std::move(key));
    }
}

void ColumnDefinition(const std::vector<Piece>& part, SqliteTableText& read) {
    const std::string column = part[0].value;
    std::string pending;  // a CONSTRAINT name for the constraint that follows
    for (std::size_t i = 1; i < part.size(); ++i) {
        const Piece& piece = part[i];
        const Piece* next = i + 1 < part.size() ? &part[i + 1] : nullptr;
        if (piece.Is("constraint") && next) {
            pending = next->value;
            ++i;
        } else if (piece.Is("primary")) {
            read.primaryKeyName = std::exchange(pending, {});
        } else if (piece.Is("unique")) {
            read.uniques.push_back({std::exchange(pending, {}), {column}});
        } else if (piece.Is("check") && next && next->kind == Piece::Kind::kGroup) {
            read.checks.push_back({std::exchange(pending, {}), {next->Inner(), {}, {}}, {}, {}});
            ++i;
        } else if (piece.Is("collate") && next) {
            read.collations.emplace_back(column, next->value);
            ++i;
        } else if (piece.Is("references") && next) {
            SqliteTableText::Reference key{std::exchange(pending, {}), {column}, next->value};
            Deferral(part, i, key);
            read.references.push_back(std::move(key));
            ++i;
        } else if (piece.Is("default") && next) {
            // The value may start with a sign.
            i += next->kind == Piece::Kind::kSymbol && i + 2 < part.size() ? 2 : 1;
        }
    }
}

}  // namespace

SqliteTableText ReadSqliteTable(std::string_view statement) {
    SqliteTableText read;
    for (const Piece& piece : Pieces(statement)) {
        if (piece.kind != Piece::Kind::kGroup)
            continue;
        for (const std::vector<Piece>& part : Elements(piece.Inner())) {
            if (part.empty())
                continue;
            const bool constraint = part[0].Is("constraint") || part[0].Is("primary") ||
                                    part[0].Is("unique") || part[0].Is("check") ||
                                    part[0].Is("foreign");
            if (constraint)
                TableConstraint(part, read);
            else
                ColumnDefinition(part, read);
        }
        break;  // the first group is the table's body
    }
    return read;
}

std::vector<std::string> ReadSqliteIndexKeys(std::string_view statement, std::string& where) {
    std::vector<std::string> keys;
    where.clear();
    const std::vector<Piece> pieces = Pieces(statement);
    for (std::size_t i = 0; i + 2 < pieces.size(); ++i) {
        if (!pieces[i].Is("on") || pieces[i + 2].kind != Piece::Kind::kGroup)
            continue;
        const std::string inner = pieces[i + 2].Inner();
        for (std::vector<Piece> element : Elements(inner)) {
            // Without its order and collation: the expression alone.
            if (!element.empty() && (element.back().Is("asc") || element.back().Is("desc")))
                element.pop_back();
            if (element.size() >= 2 && element[element.size() - 2].Is("collate"))
                element.resize(element.size() - 2);
            keys.push_back(element.empty() ? std::string()
                                           : std::string(Trim(std::string_view(inner).substr(
                                                 element.front().begin,
                                                 element.back().end - element.front().begin))));
        }
        for (std::size_t j = i + 3; j < pieces.size(); ++j) {
            if (pieces[j].Is("where")) {
                where = std::string(Trim(statement.substr(pieces[j].end)));
                break;
            }
        }
        break;
    }
    return keys;
}

}  // namespace korvanta
