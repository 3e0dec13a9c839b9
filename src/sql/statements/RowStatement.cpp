#include "sql/statements/RowStatement.h"

#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

constexpr std::string_view kSeparator = ", ";

bool IsDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

}  // namespace

bool LooksLikeNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < n && IsDigit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < n && IsDigit(text[i]))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

RowStatement::RowStatement(Side target, std::string_view tableName,
                           std::vector<bool> numericColumns, std::shared_ptr<const Dialect> dialect,
                           const std::vector<std::string>& columns)
    : bare_(std::move(numericColumns)), dialect_(std::move(dialect)) {
    if (target != Side::PostgreSQL)
        bare_.assign(bare_.size(), false);
    prefix_ = "INSERT INTO ";
    prefix_ += QuotedName(tableName);
    if (!columns.empty())
        prefix_ += " (" + QuotedNames(columns) + ")";
    prefix_ += " VALUES(";
}

void RowStatement::Begin(std::string& buffer) const {
    buffer.clear();  // keeps the capacity of the previous rows
    buffer.reserve(prefix_.size() + 32 * bare_.size());
    buffer += prefix_;
}

void RowStatement::AddValue(std::string& buffer, std::size_t field,
                            const adodb::Variant& value) const {
    AppendLiteral(buffer, field, value);
    buffer += kSeparator;
}

void RowStatement::AppendLiteral(std::string& buffer, std::size_t field,
                                 const adodb::Variant& value) const {
    if (value.IsNull()) {
        buffer += "NULL";
    } else if (field < binary_.size() && binary_[field]) {
        dialect_->AppendBinary(buffer, value.Text());
    } else if (field < bare_.size() && bare_[field] && LooksLikeNumber(value.Text())) {
        buffer += value.Text();
    } else {
        dialect_->AppendString(buffer, value.Text());
    }
}

void RowStatement::End(std::string& buffer) const {
    if (buffer.size() > prefix_.size())
        buffer.resize(buffer.size() - kSeparator.size());
    buffer += ')';
}

}  // namespace korvanta
