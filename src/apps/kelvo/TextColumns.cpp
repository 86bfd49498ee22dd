#include "TextColumns.h"

#include <algorithm>

namespace kelvo::cli {

std::size_t displayWidth(const std::string& utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string padded(const std::string& text, std::size_t width) {
    const std::size_t w = displayWidth(text);
    return text + std::string(w < width ? width - w : 0, ' ') + "  ";
}

std::string trimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

} // namespace kelvo::cli
