#include "adodb/RowSource.h"

namespace adodb::detail {
namespace {

class StreamedRows final : public RowSource {
  public:
    StreamedRows(std::shared_ptr<adodb::ConnectionState> connection, StatementHandle statement,
                 ColumnReader reader)
        : connection_(std::move(connection)),
          statement_(std::move(statement)),
          reader_(std::move(reader)) {}

    const char* Next() override {
        if (finished_)
            return nullptr;
        if (!reader_.Fetch(statement_)) {
            finished_ = true;
            statement_.CloseCursor();  // let the driver free the result early
            return nullptr;
        }
        reader_.ReadRow(statement_, row_);
        return row_.Bytes().data();
    }
    long long Count() const noexcept override { return -1; }

  private:
    std::shared_ptr<adodb::ConnectionState> connection_;  // outlives the statement below
    StatementHandle statement_;
    ColumnReader reader_;
    RowEncoder row_;
    bool finished_ = false;
};

}  // namespace

std::unique_ptr<RowSource> StreamRows(std::shared_ptr<adodb::ConnectionState> connection,
                                      StatementHandle statement, ColumnReader reader) {
    return std::make_unique<StreamedRows>(std::move(connection), std::move(statement),
                                          std::move(reader));
}

}  // namespace adodb::detail
