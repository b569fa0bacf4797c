// Text in JSON documents.
#pragma once

#include <string>

// The text as a JSON string, quotes included: the quote, the backslash and control characters
// escaped, bytes of other characters (UTF-8) as they are.
std::string json_quote(const std::string& text);
