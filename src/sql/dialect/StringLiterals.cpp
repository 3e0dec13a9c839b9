#include "sql/dialect/StringLiterals.h"

#include <algorithm>
#include <cctype>

namespace korvanta {

namespace {

bool EqualIgnoringAsciiCase(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

bool ContainsIgnoringAsciiCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       EqualIgnoringAsciiCase) != text.end();
}

}  // namespace

StringLiterals LiteralsOfDataSource(std::string_view dbmsName) {
    // SQL Anywhere's drivers name it "SQL Anywhere"; older ones "Adaptive Server Anywhere".
    if (ContainsIgnoringAsciiCase(dbmsName, "SQL Anywhere") ||
        ContainsIgnoringAsciiCase(dbmsName, "Adaptive Server Anywhere")) {
        return StringLiterals::kBackslashEscapes;
    }
    return StringLiterals::kStandard;
}

StringLiterals LiteralsOfPostgreSQL(std::string_view standardConformingStrings) {
    std::string_view value = standardConformingStrings;
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.front())))
        value.remove_prefix(1);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
        value.remove_suffix(1);
    return value.size() == 3 && ContainsIgnoringAsciiCase(value, "off")
               ? StringLiterals::kEscapeStringSyntax
               : StringLiterals::kStandard;
}

void AppendLiteral(std::string& buffer, std::string_view text, StringLiterals literals) {
    const bool doubleBackslashes =
        literals != StringLiterals::kStandard && text.find('\\') != std::string_view::npos;
    if (doubleBackslashes && literals == StringLiterals::kEscapeStringSyntax)
        buffer += 'E';
    buffer += '\'';
    const std::string_view special = doubleBackslashes ? "'\\" : "'";
    for (;;) {
        const std::size_t at = text.find_first_of(special);
        if (at == std::string_view::npos)
            break;
        buffer.append(text.data(), at + 1);
        buffer += text[at];
        text.remove_prefix(at + 1);
    }
    buffer.append(text);
    buffer += '\'';
}

std::string Literal(std::string_view text, StringLiterals literals) {
    std::string literal;
    AppendLiteral(literal, text, literals);
    return literal;
}

}  // namespace korvanta
