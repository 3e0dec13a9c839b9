#include "adodb/Recordset.h"

#include "adodb/Connection.h"
#include "adodb/Error.h"
#include "adodb/RecordsetImpl.h"
#include "adodb/TextCodec.h"

namespace adodb {

Variant Field::Value() const {
    return owner_->Value(index_);
}

const Field& FieldList::Item(int index) const {
    if (index < 0 || index >= Count())
        throw Error(kItemNotFound);
    return fields_[static_cast<std::size_t>(index)];
}

const Field& FieldList::Item(std::string_view name) const {
    for (const Field& field : fields_) {
        if (detail::EqualsIgnoringCase(field.Name(), name))
            return field;
    }
    throw Error(kItemNotFound);
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::Recordset(std::unique_ptr<RecordsetImpl> impl) : impl_(std::move(impl)) {}

void Recordset::Open(std::string_view source, Connection& activeConnection) {
    if (IsOpen())
        throw Error(kObjectOpen);
    *this = activeConnection.Execute(source);
}

bool Recordset::IsOpen() const noexcept {
    return impl_ != nullptr && impl_->IsOpen();
}

long long Recordset::RecordCount() const {
    if (!impl_)
        throw Error(kObjectClosed);
    return impl_->RecordCount();
}

bool Recordset::IsEOF() const {
    if (!impl_)
        throw Error(kObjectClosed);
    return impl_->IsEOF();
}

void Recordset::MoveNext() {
    if (!impl_)
        throw Error(kObjectClosed);
    impl_->MoveNext();
}

std::shared_ptr<const std::string> Recordset::TakeRow() {
    return impl_ ? impl_->TakeRow() : nullptr;
}

std::span<const Variant> Recordset::Values() const {
    if (!impl_)
        throw Error(kObjectClosed);
    return impl_->Values();
}

SinkRead Recordset::NextInto(RowSink& sink) {
    if (!impl_)
        throw Error(kObjectClosed);
    return impl_->NextInto(sink);
}

std::string_view Recordset::RowBytes() const noexcept {
    return impl_ && impl_->IsOpen() ? impl_->RowBytes() : std::string_view();
}

const FieldList& Recordset::Fields() const {
    if (!impl_)
        throw Error(kObjectClosed);
    return impl_->Fields();
}

void Recordset::Close() {
    if (!impl_)
        throw Error(kObjectClosed);
    impl_->Close();
}

}  // namespace adodb
