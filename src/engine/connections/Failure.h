#pragma once

#include <exception>

#include "adodb/Error.h"

namespace korvanta {

// A failure as the reports show it: the driver's own error, or the standard text of any
// other failure ("Out of memory" for a failed allocation).
adodb::Error AsError(std::exception_ptr failure);
adodb::Error AsError(const std::exception& failure);

}  // namespace korvanta
