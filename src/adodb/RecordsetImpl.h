#pragma once

#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "adodb/ColumnReader.h"
#include "adodb/ConnectionState.h"
#include "adodb/Recordset.h"
#include "adodb/RowSource.h"

namespace adodb {

// The state behind a Recordset: its fields, its rows and the current one, decoded into one
// Variant per field. Closing drops the rows but keeps the fields, so that a Field held by
// the caller reports kObjectClosed rather than dangling.
class RecordsetImpl {
  public:
    RecordsetImpl(const std::vector<detail::Column>& columns,
                  std::unique_ptr<detail::RowSource> rows);

    // The record set for the result left on `statement` by a statement just run, or nullptr
    // when it returned no rows. A client-side one fetches everything and closes the
    // statement's cursor; a server-side one takes the connection's statement handle.
    static std::unique_ptr<RecordsetImpl> FromResult(
        const std::shared_ptr<ConnectionState>& connection, detail::StatementHandle& statement,
        bool clientSide, bool floatsAsNumbers = false);

    bool IsOpen() const noexcept { return rows_ != nullptr; }
    long long RecordCount() const;
    bool IsEOF() const;
    void MoveNext();
    const FieldList& Fields() const;
    Variant Value(int index) const;
    std::span<const Variant> Values() const;
    std::string_view RowBytes() const noexcept { return currentBytes_; }
    SinkRead NextInto(RowSink& sink);
    std::shared_ptr<const std::string> TakeRow();
    void Close();

  private:
    void RequireOpen() const;
    void Advance();
    // Takes the row that the source gave as Next() does (nullptr: none) as the current one.
    void Enter(const char* row);

    FieldList fields_;
    std::unique_ptr<detail::RowSource> rows_;
    std::vector<Variant> current_;
    std::string_view currentBytes_;  // the memory current_ views
    bool eof_ = true;
    bool unreadable_ = false;  // the current row's values did not fit in memory
    bool given_ = false;       // the current row went to a sink: it has no fields to read
};

}  // namespace adodb
