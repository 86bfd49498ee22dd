#pragma once
// Helpers of the item tests: description records built word by word, scratch folders, files.
#include "items/OpisRecord.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::test {

// One 512-byte description record.
struct Record {
    std::array<std::uint8_t, kOpisRecordBytes> bytes{};

    Record& word(std::size_t n, std::uint16_t value) {
        bytes[2 * n] = static_cast<std::uint8_t>(value & 0xFF);
        bytes[2 * n + 1] = static_cast<std::uint8_t>(value >> 8);
        return *this;
    }
    Record& occupied() { return word(0, kOpisSlotMarker); }
    // Text into the low bytes of consecutive words from `first`, high bytes left as they are.
    Record& lowBytes(std::size_t first, const std::string& text) {
        for (std::size_t j = 0; j < text.size(); ++j) bytes[2 * (first + j)] = static_cast<std::uint8_t>(text[j]);
        return *this;
    }
    TOpis_512B view() const { return TOpis_512B(bytes); }
};

std::vector<std::uint8_t> catalogueOf(const std::vector<Record>& records);

// A fresh, empty folder of the test's own, removed with the object.
struct ScratchFolder {
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::filesystem::path path;
};

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
std::string readText(const std::filesystem::path& file);
void writeText(const std::filesystem::path& file, const std::string& text);

// Sets an environment variable for the object's life and restores it afterwards.
struct ScopedEnv {
    ScopedEnv(const char* name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    std::string name;
    std::optional<std::string> old;
};

} // namespace kelvo::test
