#include "items/UploadHook.h"

#include "base/AtomicFile.h"

#include <span>
#include <system_error>

namespace kelvo {
namespace {

std::string settingValue(const IniFile& ini, const char* key, const std::string& fallback, const AnsiText& ansi) {
    const std::optional<std::string> raw = ini.get(kRfidIniSection, key);
    if (!raw) return fallback; // missing key: the default; present but empty: empty
    std::string value = *raw;
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') || (value.front() == '\'' && value.back() == '\'')))
        value = value.substr(1, value.size() - 2);
    if (isValidUtf8(value)) return value;
    return ansi.toUtf8 ? ansi.toUtf8(value) : textToUtf8(value);
}

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string cutAtNul(const std::string& value) { return value.substr(0, value.find('\0')); }

} // namespace

RfidSettings readRfidSettings(const IniFile& ini, const AnsiText& ansi) {
    const RfidSettings defaults;
    RfidSettings s;
    s.exe = settingValue(ini, "exe", defaults.exe, ansi);
    s.user = settingValue(ini, "user", defaults.user, ansi);
    s.password = settingValue(ini, "password", defaults.password, ansi);
    return s;
}

std::optional<std::filesystem::path> findRfidIni(const platform::AppFolders& folders) {
    for (const auto& folder : {folders.executable, folders.config}) {
        if (folder.empty()) continue;
        const auto candidate = folder / kRfidIniName;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
    }
    return std::nullopt;
}

std::string uploadToolPath(std::string_view programFolder, std::string_view exe, UploadStyle style) {
    if (style == UploadStyle::WindowsBatch) {
        // ExtractFilePath(Application.ExeName) + exe: the folder with its trailing backslash.
        std::string path(programFolder);
        if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
        return path + std::string(exe);
    }
    return pathToUtf8(platform::pathFromUtf8(programFolder) / platform::pathFromUtf8(exe));
}

UploadValues uploadValues(std::string_view toolPath, const RfidSettings& settings, std::string_view bitmapName,
                          const TImageData& image, CodePage scannerPage) {
    return UploadValues{std::string(toolPath),     settings.user,         settings.password,
                        std::string(bitmapName),   image.dajRfidStr(scannerPage), image.dajDataStr(),
                        image.dajCzestotliwoscMHz(), image.dajZakresStr()};
}

std::string batchSafeValue(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '%' || isControl(u)) c = '_';
    }
    return out;
}

std::string batchSafePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        if (c == '%') out += "%%";
        else if (c == '"' || isControl(static_cast<unsigned char>(c))) out += '_';
        else out += c;
    }
    return out;
}

std::string batchLine(const UploadValues& values) {
    std::string line;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const bool isPath = i == 0 || i == 3;
        line += '"';
        line += isPath ? batchSafePath(values[i]) : batchSafeValue(values[i]);
        line += "\" "; // one space after every closing quote, the last one included
    }
    return line;
}

std::string batchFileText(const UploadValues& values) { return batchLine(values) + "\r\n"; }

std::string shellQuote(std::string_view value) {
    std::string out = "'";
    for (const char c : value) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    out += '\'';
    return out;
}

std::string shellScriptText(const UploadValues& values) {
    std::string text = "#!/bin/sh\n";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) text += ' ';
        text += shellQuote(cutAtNul(values[i]));
    }
    text += '\n';
    return text;
}

std::filesystem::path uploadFileName(const std::filesystem::path& bitmap, UploadStyle style) {
    std::filesystem::path name = bitmap;
    name.replace_extension(style == UploadStyle::WindowsBatch ? ".bat" : ".sh");
    return name;
}

UploadPlan planUpload(const UploadInputs& in) {
    UploadPlan plan;
    plan.style = in.style;
    const TImageData empty;
    const TImageData& image = in.image ? *in.image : empty;
    const std::string tool = uploadToolPath(pathToUtf8(in.programFolder), in.settings.exe, in.style);
    const UploadValues values = uploadValues(tool, in.settings, pathToUtf8(in.bitmap), image, in.scannerPage);
    if (!in.toolExists) plan.message = std::string(kMissingToolMessage) + in.settings.exe;
    plan.file = uploadFileName(in.bitmap, in.style);
    if (in.style == UploadStyle::WindowsBatch) {
        const std::string text = batchFileText(values);
        plan.bytes = in.ansi.fromUtf8 ? in.ansi.fromUtf8(text) : encodeFromUtf8(text);
    } else {
        plan.bytes = shellScriptText(values);
        plan.program = platform::pathFromUtf8(cutAtNul(tool));
        for (std::size_t i = 1; i < values.size(); ++i) plan.arguments.push_back(cutAtNul(values[i]));
    }
    return plan;
}

UploadPlan uploadRFID(const std::filesystem::path& bitmapFile, const TImageData& image, const UploadHost& host) {
    // 1. The settings, read afresh for every image (an unreadable file gives the defaults).
    RfidSettings settings;
    if (const auto ini = findRfidIni(host.folders))
        if (const auto parsed = IniFile::load(*ini)) settings = readRfidSettings(*parsed, host.ansi);

    // 2., 3. The texts, and whether the tool is there (a file, not a folder).
    UploadInputs in;
    in.programFolder = host.folders.executable;
    in.settings = settings;
    in.bitmap = bitmapFile;
    in.image = &image;
    in.style = host.style;
    in.scannerPage = host.scannerPage;
    in.ansi = host.ansi;
    {
        const std::string tool = uploadToolPath(pathToUtf8(host.folders.executable), settings.exe, host.style);
        std::error_code ec;
        const auto toolPath = platform::pathFromUtf8(tool);
        in.toolExists = std::filesystem::exists(toolPath, ec) && !std::filesystem::is_directory(toolPath, ec);
    }
    UploadPlan plan = planUpload(in);
    if (plan.message && host.showMessage) host.showMessage(*plan.message);

    // 4. The file beside the bitmap; a failure throws to the caller.
    const auto* data = reinterpret_cast<const std::uint8_t*>(plan.bytes.data());
    writeFileAtomically(plan.file, std::span<const std::uint8_t>(data, plan.bytes.size()));
    if (plan.style == UploadStyle::PosixScript) {
        std::error_code ec; // the script is a record; being runnable by hand is a convenience
        std::filesystem::permissions(plan.file,
                                     std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec |
                                         std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add, ec);
    }

    // 5. Started, not waited for; a refusal is ignored.
    if (host.starter) {
        if (plan.style == UploadStyle::WindowsBatch) (void)host.starter->shellOpen(plan.file);
        else (void)host.starter->startDetached(plan.program, plan.arguments);
    }
    return plan;
}

} // namespace kelvo
