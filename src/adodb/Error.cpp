#include "adodb/Error.h"

#include <utility>

namespace adodb {

Error::Error(const std::string& description, std::string state, int native)
    : std::runtime_error(description), state_(std::move(state)), native_(native) {}

}  // namespace adodb
