// writeFileAtomically: temporary file in the same folder, flushed, closed, renamed over the target.
#include "base/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <random>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kelvo {

std::string pathToUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

namespace {

std::atomic<unsigned> g_counter{0};

// A name for the temporary file that no other writer (thread or process) picks at the same time.
std::filesystem::path temporaryNameFor(const std::filesystem::path& target, unsigned attempt) {
#ifdef _WIN32
    const unsigned long pid = GetCurrentProcessId();
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    thread_local std::mt19937 random{std::random_device{}()};
    const unsigned serial = g_counter.fetch_add(1) + attempt;
    std::filesystem::path name = target.filename();
    std::u8string tmp = u8".";
    tmp += name.u8string();
    const std::string suffix =
        "." + std::to_string(pid) + "-" + std::to_string(serial) + "-" + std::to_string(random() & 0xFFFFFu) + ".part";
    tmp += std::u8string(suffix.begin(), suffix.end());
    return target.parent_path() / std::filesystem::path(tmp);
}

[[noreturn]] void failWith(const std::filesystem::path& target, const std::string& step, const std::string& reason) {
    throw std::runtime_error("cannot write " + pathToUtf8(target) + ": " + step + ": " + reason);
}

#ifdef _WIN32

std::string windowsErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr) {
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            text.resize(static_cast<std::size_t>(size));
            WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), text.data(), size, nullptr, nullptr);
        }
    }
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) text = "Windows error";
    return text + " (error " + std::to_string(code) + ")";
}

#else

std::string errnoText(int code) {
    return std::string(std::strerror(code)) + " (errno " + std::to_string(code) + ")";
}

#endif

} // namespace

#ifdef _WIN32

void writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
    if (target.filename().empty()) failWith(target, "choosing the file", "the name has no file name part");
    std::filesystem::path temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD openError = 0;
    for (unsigned attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryNameFor(target, attempt);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        openError = GetLastError();
        if (file == INVALID_HANDLE_VALUE && openError != ERROR_FILE_EXISTS && openError != ERROR_ALREADY_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE)
        failWith(target, "creating the temporary file " + pathToUtf8(temporary), windowsErrorText(openError));

    auto abandon = [&](const std::string& step, DWORD code) {
        const std::string reason = windowsErrorText(code);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        DeleteFileW(temporary.c_str());
        failWith(target, step, reason);
    };

    std::size_t written = 0;
    while (written < bytes.size()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - written, 1u << 30);
        DWORD done = 0;
        if (!WriteFile(file, bytes.data() + written, static_cast<DWORD>(chunk), &done, nullptr)) {
            const DWORD error = GetLastError();
            abandon("writing the temporary file " + pathToUtf8(temporary), error);
        }
        if (done == 0) abandon("writing the temporary file " + pathToUtf8(temporary), ERROR_WRITE_FAULT);
        written += done;
    }
    if (!FlushFileBuffers(file)) {
        const DWORD error = GetLastError();
        abandon("flushing the temporary file " + pathToUtf8(temporary), error);
    }
    const HANDLE closing = file;
    file = INVALID_HANDLE_VALUE;
    if (!CloseHandle(closing)) {
        const DWORD error = GetLastError();
        abandon("closing the temporary file " + pathToUtf8(temporary), error);
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        abandon("replacing it with the temporary file " + pathToUtf8(temporary), error);
    }
}

#else

void writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
    if (target.filename().empty()) failWith(target, "choosing the file", "the name has no file name part");

    // A replaced file keeps its permission bits.
    mode_t mode = 0666;
    bool keepMode = false;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
        keepMode = true;
    }

    std::filesystem::path temporary;
    int fd = -1;
    int openError = 0;
    for (unsigned attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = temporaryNameFor(target, attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        openError = errno;
        if (fd < 0 && openError != EEXIST) break;
    }
    if (fd < 0) failWith(target, "creating the temporary file " + pathToUtf8(temporary), errnoText(openError));

    auto abandon = [&](const std::string& step, int code) {
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        failWith(target, step, errnoText(code));
    };

    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t done = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (done < 0) {
            const int error = errno;
            if (error == EINTR) continue;
            abandon("writing the temporary file " + pathToUtf8(temporary), error);
        }
        if (done == 0) abandon("writing the temporary file " + pathToUtf8(temporary), EIO);
        written += static_cast<std::size_t>(done);
    }
    if (keepMode && ::fchmod(fd, mode) != 0) {
        const int error = errno;
        abandon("setting the permissions of " + pathToUtf8(temporary), error);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        abandon("flushing the temporary file " + pathToUtf8(temporary), error);
    }
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) {
        const int error = errno;
        abandon("closing the temporary file " + pathToUtf8(temporary), error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        abandon("renaming the temporary file " + pathToUtf8(temporary) + " over it", error);
    }

    // Make the rename itself durable; the new file is complete either way, so a failure to sync
    // the folder (some file systems refuse it) is not an error.
    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

#endif

} // namespace kelvo
