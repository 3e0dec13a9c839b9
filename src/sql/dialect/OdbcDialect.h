#pragma once

#include "sql/dialect/Dialect.h"

namespace korvanta {

// Any other ODBC data source: standard SQL and nothing more, its catalog known only
// through the ODBC catalog functions and its types only by their ODBC codes. Its driver
// is taken to hold floating-point numbers as numbers.
class OdbcDialect final : public Dialect {
  public:
    std::string_view Name() const override { return "ODBC"; }
    const Capabilities& Can() const override;
    void Accept(DialectVisitor& visitor) const override { visitor.Visit(*this); }
    std::shared_ptr<const Dialect> WithSetting(std::string_view) const override;

    std::string Declaration(const ColumnType& type, std::string& notExact) const override;
    void AppendBinary(std::string& buffer, std::string_view hex) const override;
    std::string IdentityClause(std::string& why) const override;
    bool FloatsAsNumbers() const override { return true; }

    // A column's type from its ADO type code (what a driver reports, through the ODBC
    // catalog functions or of SELECT *), with its size and decimal digits where known (-1
    // where not). `name` is the source's own name of the type.
    static ColumnType ReadType(int adoType, std::string_view name, int size = -1, int digits = -1);
    // A default as a driver's catalog gives it: only the forms every database writes alike.
    static ColumnDefault ReadDefault(std::string_view text);

  protected:
    std::string Boolean(bool value) const override { return value ? "TRUE" : "FALSE"; }
};

}  // namespace korvanta
