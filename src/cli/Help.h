#pragma once

#include <optional>
#include <string>

namespace korvanta::cli {

// The program's help (topic empty) or a verb's; nothing for a topic that is no verb.
std::optional<std::string> HelpText(const std::string& topic);

// Whether the word is one of the verbs.
bool IsVerb(const std::string& word);

}  // namespace korvanta::cli
