#include "adodb/Recordset.h"

#include <cctype>

#include "adodb/Connection.h"
#include "adodb/Error.h"
#include "adodb/RecordsetImpl.h"

namespace adodb {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

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
        if (SameName(field.Name(), name))
            return field;
    }
    throw Error(kItemNotFound);
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::Recordset(std::unique_ptr<RecordsetImpl> impl) : impl_(std::move(impl)) {}

void Recordset::Open(std::string_view source, Connection& activeConnection, int /*cursorType*/,
                     int /*lockType*/) {
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
