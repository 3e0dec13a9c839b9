#pragma once

// The maker's addresses, in one place: the error report asks for screenshots at the
// support address, the table window's help names the contact form.
namespace korvanta::contact {

inline constexpr const char* kSupportAddress = "support@quillmere.example";
inline constexpr const char* kContactForm = "https://www.quillmere.example/contact";

}  // namespace korvanta::contact
