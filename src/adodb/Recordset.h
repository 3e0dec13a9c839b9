#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Enums.h"
#include "adodb/RowSink.h"
#include "adodb/Variant.h"

namespace adodb {

class Connection;
class RecordsetImpl;

// One column of a record set: its name, ADO type code and the current row's value.
class Field {
  public:
    const std::string& Name() const noexcept { return name_; }
    int Type() const noexcept { return type_; }
    // The data source's own name of the column's type ("timestamptz", "money"), as the
    // driver reports it; empty when it does not say.
    const std::string& NativeTypeName() const noexcept { return nativeTypeName_; }
    // The value in the current row. Raises kNoCurrentRecord at EOF, kObjectClosed
    // when the record set is closed.
    Variant Value() const;

  private:
    friend class RecordsetImpl;
    Field(const RecordsetImpl& owner, int index, std::string name, int type,
          std::string nativeTypeName)
        : owner_(&owner),
          index_(index),
          name_(std::move(name)),
          type_(type),
          nativeTypeName_(std::move(nativeTypeName)) {}

    const RecordsetImpl* owner_;  // not owning: fields live inside their record set
    int index_;
    std::string name_;
    int type_;
    std::string nativeTypeName_;
};

// The columns of a record set, by position (0-based) or by name (letter case ignored).
class FieldList {
  public:
    int Count() const noexcept { return static_cast<int>(fields_.size()); }
    // Raises kItemNotFound for an unknown position or name.
    const Field& Item(int index) const;
    const Field& Item(std::string_view name) const;
    const Field& operator[](int index) const { return Item(index); }
    const Field& operator[](std::string_view name) const { return Item(name); }

  private:
    friend class RecordsetImpl;
    std::vector<Field> fields_;
};

// The rows of a query. Under a client-side cursor (the connection's CursorLocation
// adUseClient) every row is fetched when the query runs and kept compactly in a few
// large blocks, so RecordCount is exact and the statement is released at once; under
// a server-side cursor rows are fetched one at a time as the record set moves and
// RecordCount is -1.
class Recordset {
  public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Runs a query on an open connection; the connection's CursorLocation decides how rows
    // are fetched.
    void Open(std::string_view source, Connection& activeConnection);
    bool IsOpen() const noexcept;

    long long RecordCount() const;    // kObjectClosed when closed
    bool IsEOF() const;               // ADO's EOF (a macro name in C++); kObjectClosed when closed
    void MoveNext();                  // kNoCurrentRecord at EOF, kObjectClosed when closed
    const FieldList& Fields() const;  // kObjectClosed when closed
    void Close();                     // kObjectClosed when already closed

    // Beyond ADO: hands over the memory that the current row's values are in, so that a
    // caller keeping a large value need not copy it. The values read from Fields() stay
    // valid for as long as the returned string lives, whatever the record set does next.
    // nullptr under a client-side cursor, at EOF, or when closed: then copy them.
    std::shared_ptr<const std::string> TakeRow();
    // Beyond ADO: the current row's values all at once, as Fields() gives them one by one
    // (with the same errors), and the memory they all lie in, which holds little else: a
    // caller may copy that memory whole instead of value by value. RowBytes() is empty when
    // closed or at EOF.
    std::span<const Variant> Values() const;
    std::string_view RowBytes() const noexcept;
    // Beyond ADO: moves to the next row (as MoveNext) and, where the rows come straight
    // from the driver's bound buffers, gives its values to `sink` instead of to Fields()
    // (kGiven: Fields() then has none to read). kCurrent: the row is read through Fields()
    // as after MoveNext. kNoCurrentRecord at EOF, kObjectClosed when closed.
    SinkRead NextInto(RowSink& sink);

  private:
    friend class Connection;
    explicit Recordset(std::unique_ptr<RecordsetImpl> impl);
    std::unique_ptr<RecordsetImpl> impl_;
};

}  // namespace adodb
