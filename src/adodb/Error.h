#pragma once

#include <stdexcept>
#include <string>

namespace adodb {

// A failure of the data-access layer. what() is the description that the error
// report shows: the driver's own message text of every diagnostic record, one per
// line, or ADO's wording for a misuse of an object (a closed connection, a move
// past the last row).
class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& description, std::string state = {}, int native = 0);

    // SQLSTATE of the first diagnostic record; empty for errors raised by the layer itself.
    const std::string& state() const noexcept { return state_; }
    int native() const noexcept { return native_; }

    // SQLSTATE class 08: the connection is gone, so every later statement on it fails too.
    bool connectionLost() const noexcept { return state_.rfind("08", 0) == 0; }

  private:
    std::string state_;
    int native_;
};

// ADO's own descriptions for misuse, kept in one place.
inline constexpr const char* kObjectClosed = "Operation is not allowed when the object is closed.";
inline constexpr const char* kNoCurrentRecord =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";
inline constexpr const char* kObjectOpen = "Operation is not allowed when the object is open.";
inline constexpr const char* kProviderNotFound =
    "Provider cannot be found. It may not be properly installed.";
inline constexpr const char* kNotSupported =
    "Object or provider is not capable of performing requested operation.";
inline constexpr const char* kItemNotFound =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";

}  // namespace adodb
