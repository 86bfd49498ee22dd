#pragma once
// Columns of a plain-text table on a terminal.
#include <cstddef>
#include <string>

namespace kelvo::cli {

// Characters, not bytes: the descriptions may hold letters of two bytes in UTF-8.
std::size_t displayWidth(const std::string& utf8);
// The text filled up to `width` characters, then two spaces to the next column.
std::string padded(const std::string& text, std::size_t width);
std::string trimmedRight(std::string text);

} // namespace kelvo::cli
