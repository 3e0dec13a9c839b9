#include "engine/connections/Failure.h"

#include <new>

namespace korvanta {

adodb::Error AsError(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return AsError(e);
    } catch (...) {
        return adodb::Error("Unknown error");
    }
}

adodb::Error AsError(const std::exception& failure) {
    if (const auto* error = dynamic_cast<const adodb::Error*>(&failure))
        return *error;
    if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr)
        return adodb::Error("Out of memory");
    return adodb::Error(failure.what());
}

}  // namespace korvanta
