#include "adodb/BlockFetch.h"
#include "adodb/RowSource.h"
#include "adodb/RowStore.h"

namespace adodb::detail {
namespace {

class StoredRows final : public RowSource {
  public:
    explicit StoredRows(RowStore store) : store_(std::move(store)) {}

    const char* Next() override { return next_ < store_.size() ? store_.Row(next_++) : nullptr; }
    long long Count() const noexcept override { return static_cast<long long>(store_.size()); }

  private:
    RowStore store_;
    std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<RowSource> FetchAllRows(const StatementHandle& statement, ColumnReader& reader) {
    RowStore store;
    RowEncoder row;
    if (auto fetcher = BlockFetcher::Start(statement, reader)) {
        while (fetcher->Next(row))
            store.Append(row.Bytes());
    } else {
        while (reader.Fetch(statement)) {
            reader.ReadRow(statement, row);
            store.Append(row.Bytes());
        }
    }
    return std::make_unique<StoredRows>(std::move(store));
}

}  // namespace adodb::detail
