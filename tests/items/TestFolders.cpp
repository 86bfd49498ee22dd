#include "TestFolders.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kelvo::test {

std::vector<std::uint8_t> catalogueOf(const std::vector<Record>& records) {
    std::vector<std::uint8_t> out;
    for (const auto& r : records) out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    return out;
}

ScratchFolder::ScratchFolder() {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const auto pid = static_cast<unsigned long>(GetCurrentProcessId());
#else
    const auto pid = static_cast<unsigned long>(getpid());
#endif
    std::random_device rd;
    path = std::filesystem::temp_directory_path() /
           ("kelvo-items-" + std::to_string(pid) + "-" + std::to_string(counter++) + "-" + std::to_string(rd() & 0xFFFF));
    std::filesystem::create_directories(path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string readText(const std::filesystem::path& file) {
    const auto bytes = readBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

void writeText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

ScopedEnv::ScopedEnv(const char* n, const std::optional<std::string>& value) : name(n) {
    if (const char* v = std::getenv(n)) old = v;
#ifdef _WIN32
    _putenv_s(n, value ? value->c_str() : "");
    SetEnvironmentVariableA(n, value ? value->c_str() : nullptr);
#else
    if (value) setenv(n, value->c_str(), 1);
    else unsetenv(n);
#endif
}

ScopedEnv::~ScopedEnv() {
#ifdef _WIN32
    _putenv_s(name.c_str(), old ? old->c_str() : "");
    SetEnvironmentVariableA(name.c_str(), old ? old->c_str() : nullptr);
#else
    if (old) setenv(name.c_str(), old->c_str(), 1);
    else unsetenv(name.c_str());
#endif
}

} // namespace kelvo::test
