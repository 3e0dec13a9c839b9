#include "adodb/BlockFetch.h"
#include "adodb/RowSource.h"

namespace adodb::detail {
namespace {

class StreamedRows final : public RowSource {
  public:
    StreamedRows(std::shared_ptr<adodb::ConnectionState> connection, StatementHandle statement,
                 ColumnReader reader)
        : connection_(std::move(connection)),
          statement_(std::move(statement)),
          reader_(std::move(reader)),
          fetcher_(BlockFetcher::Start(statement_, reader_)) {}

    const char* Next() override {
        if (finished_)
            return nullptr;
        bool more;
        if (fetcher_) {
            more = fetcher_->Next(row_);
        } else {
            more = reader_.Fetch(statement_);
            if (more)
                reader_.ReadRow(statement_, row_);
        }
        if (!more) {
            Finish();
            return nullptr;
        }
        return row_.Bytes().data();
    }
    SinkRead NextInto(RowSink& sink, const char*& row) override {
        row = nullptr;
        if (!fetcher_)
            return RowSource::NextInto(sink, row);
        const SinkRead read = fetcher_->NextInto(sink, row_);
        if (read == SinkRead::kEnd)
            Finish();
        else if (read == SinkRead::kCurrent)
            row = row_.Bytes().data();
        return read;
    }
    long long Count() const noexcept override { return -1; }
    std::shared_ptr<const std::string> TakeRow() override {
        if (finished_)
            return nullptr;
        return std::make_shared<const std::string>(row_.Release());
    }

  private:
    void Finish() {
        finished_ = true;
        fetcher_.reset();
        statement_.CloseCursor();  // let the driver free the result early
    }

    std::shared_ptr<adodb::ConnectionState> connection_;  // outlives the statement below
    StatementHandle statement_;
    ColumnReader reader_;
    std::unique_ptr<BlockFetcher> fetcher_;  // declared after what it refers to
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
