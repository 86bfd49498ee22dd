// Card folders: a simulated scanner kept as plain files, so that a support engineer can replay
// what a customer's scanner holds. The format is told in docs/simulator-card.md; keep the two in
// step.
#include "simulator/Card.h"

#include "base/IniFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

namespace kelvo::sim {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kIni = "scanner.ini";
constexpr std::string_view kImageCatalogue = "image_opisy.bin";
constexpr std::string_view kCineCatalogue = "cine_opisy.bin";
constexpr std::string_view kCf = "cf.bin";
constexpr unsigned kMaxSlot = 65535; // the download commands carry a 16-bit slot number

[[noreturn]] void fail(const fs::path& file, const std::string& problem) {
    throw CardError(file.string() + ": " + problem);
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// IniFile reads values but cannot list keys; this lists the section and key names of the text by
// the same rules (BOM, ';' and '#' comments, names without regard to case), so that a misspelt
// key or section is an error rather than a fault silently switched off.
struct IniKey {
    std::string section, key;
    unsigned line = 0;
};

std::vector<IniKey> listKeys(std::string_view text, std::vector<std::pair<std::string, unsigned>>& sections) {
    std::vector<IniKey> keys;
    std::string section;
    bool inSection = false;
    unsigned lineNo = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    while (!text.empty()) {
        ++lineNo;
        const auto eol = text.find('\n');
        const std::string_view line = trim(text.substr(0, eol));
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            section = lower(trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
            inSection = true;
            sections.emplace_back(section, lineNo);
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string k = lower(trim(line.substr(0, eq)));
        if (k.empty()) continue;
        keys.push_back(IniKey{inSection ? section : std::string(), std::move(k), lineNo});
    }
    return keys;
}

constexpr std::string_view kScannerKeys[] = {"magic_number", "svn_version", "probe",     "lh",
                                             "version_svn",  "field_of_view", "image_max", "cine_max"};
constexpr std::string_view kFaultKeys[] = {"silent",         "short_reply", "stale_sectors", "drains_ignored",
                                           "link_lost_after_blocks", "out_stalled", "bytes_per_second", "latency_ms"};

template <std::size_t N>
bool known(const std::string_view (&names)[N], const std::string& name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

long long parseWhole(const fs::path& file, std::string_view what, std::string_view text) {
    text = trim(text);
    long long v = 0;
    int base = 10;
    std::string_view digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, base);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size())
        fail(file, std::string(what) + ": \"" + std::string(text) + "\" is not a whole number");
    return v;
}

long long inRange(const fs::path& file, std::string_view what, long long v, long long lo, long long hi) {
    if (v < lo || v > hi)
        fail(file, std::string(what) + " = " + std::to_string(v) + " is out of range (" + std::to_string(lo) + " to " +
                       std::to_string(hi) + ")");
    return v;
}

// A key's whole number, through IniFile (which names the key when the value is not a number).
std::optional<long long> number(const IniFile& ini, const fs::path& file, std::string_view section,
                                std::string_view key, long long lo, long long hi) {
    const auto text = ini.get(section, key);
    if (!text || text->empty()) return std::nullopt;
    long long v = 0;
    try {
        v = ini.getInt(section, key, 0);
    } catch (const std::invalid_argument& e) {
        fail(file, e.what());
    }
    return inRange(file, "[" + std::string(section) + "] " + std::string(key), v, lo, hi);
}

std::vector<std::string_view> splitList(std::string_view text) {
    std::vector<std::string_view> items;
    while (true) {
        const auto comma = text.find(',');
        const std::string_view item = trim(text.substr(0, comma));
        if (!item.empty()) items.push_back(item);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return items;
}

std::uint8_t commandCode(const fs::path& file, std::string_view key, std::string_view text) {
    const std::string what = "[faults] " + std::string(key) + " command";
    return static_cast<std::uint8_t>(inRange(file, what, parseWhole(file, what, text), 0, 255));
}

ScannerFaults readFaults(const IniFile& ini, const fs::path& file) {
    ScannerFaults f;
    if (const auto silent = ini.get("faults", "silent"))
        for (std::string_view item : splitList(*silent)) f.silentCommands.insert(commandCode(file, "silent", item));
    if (const auto shorts = ini.get("faults", "short_reply"))
        for (std::string_view item : splitList(*shorts)) {
            const auto colon = item.find(':');
            if (colon == std::string_view::npos)
                fail(file, "[faults] short_reply: \"" + std::string(item) + "\" is not code:bytes");
            const std::uint8_t code = commandCode(file, "short_reply", item.substr(0, colon));
            const long long bytes = parseWhole(file, "[faults] short_reply bytes", item.substr(colon + 1));
            f.shortReplies[code] = static_cast<std::size_t>(
                inRange(file, "[faults] short_reply bytes", bytes, 0, static_cast<long long>(kCineBytes)));
        }
    if (auto v = number(ini, file, "faults", "stale_sectors", 0, 65535)) f.staleSectors = static_cast<unsigned>(*v);
    if (auto v = number(ini, file, "faults", "drains_ignored", 0, 1000000)) f.drainsIgnored = static_cast<unsigned>(*v);
    if (auto v = number(ini, file, "faults", "link_lost_after_blocks", 0, 4000000000LL))
        f.linkLostAfterBlocks = static_cast<unsigned>(*v);
    if (auto v = number(ini, file, "faults", "out_stalled", 0, 1)) f.outEndpointStalled = *v != 0;
    if (auto v = number(ini, file, "faults", "bytes_per_second", 0, 1000000000000LL))
        f.bytesPerSecond = static_cast<double>(*v);
    if (auto v = number(ini, file, "faults", "latency_ms", 0, 3600000)) f.latency = Millis{*v};
    return f;
}

void readIni(Card& card, const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) fail(file, "cannot be read");
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();

    std::vector<std::pair<std::string, unsigned>> sections;
    for (const IniKey& k : listKeys(text, sections)) {
        const std::string where = "line " + std::to_string(k.line) + ": ";
        if (k.section.empty()) fail(file, where + "key \"" + k.key + "\" outside a section");
        if (k.section == "scanner" && !known(kScannerKeys, k.key))
            fail(file, where + "unknown key \"" + k.key + "\" in [scanner]");
        if (k.section == "faults" && !known(kFaultKeys, k.key))
            fail(file, where + "unknown key \"" + k.key + "\" in [faults]");
    }
    for (const auto& [name, line] : sections)
        if (name != "scanner" && name != "faults")
            fail(file, "line " + std::to_string(line) + ": unknown section [" + name + "]");

    const IniFile ini = IniFile::parse(text);
    ScannerIdentity& id = card.identity;
    auto word = [&](std::string_view k, std::uint16_t& field) {
        if (auto v = number(ini, file, "scanner", k, 0, 65535)) field = static_cast<std::uint16_t>(*v);
    };
    word("magic_number", id.magic_number);
    word("svn_version", id.svn_version);
    word("probe", id.probe);
    word("lh", id.lh);
    word("version_svn", id.version_svn);
    word("field_of_view", id.field_of_view);
    if (auto v = number(ini, file, "scanner", "image_max", 0, 65535)) card.imageMax = static_cast<unsigned>(*v);
    if (auto v = number(ini, file, "scanner", "cine_max", 0, 65535)) card.cineMax = static_cast<unsigned>(*v);
    card.faults = readFaults(ini, file);
}

std::vector<std::uint8_t> readCatalogue(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return {};
    const auto size = fs::file_size(file, ec);
    if (ec) fail(file, "cannot be read (" + ec.message() + ")");
    if (size % kSector != 0)
        fail(file, "is " + std::to_string(size) + " bytes long, not a whole number of 512-byte records");
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    std::ifstream in(file, std::ios::binary);
    if (!in || !in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size())))
        fail(file, "cannot be read");
    return data;
}

// Reads up to `size` bytes of a file and pads them with `fill` to `size`; nothing when the file
// is missing or unreadable (a provider must not throw: it runs inside the scanner).
std::optional<std::vector<std::uint8_t>> readPadded(const fs::path& file, std::size_t size, std::uint8_t fill) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> data(size, fill);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size));
    const auto got = static_cast<std::size_t>(in.gcount());
    std::fill(data.begin() + static_cast<std::ptrdiff_t>(got), data.end(), fill);
    return data;
}

// image_<slot>.raw and cine_<slot>.raw: <slot> decimal without leading zeros.
struct RawName {
    bool cine = false;
    std::optional<unsigned> slot; // nothing: the name looks like a raw file but its number is bad
};

std::optional<RawName> rawName(const std::string& name) {
    std::string_view n = name;
    RawName r;
    if (n.starts_with("image_")) n.remove_prefix(6);
    else if (n.starts_with("cine_")) {
        n.remove_prefix(5);
        r.cine = true;
    } else return std::nullopt;
    if (!n.ends_with(".raw")) return std::nullopt;
    n.remove_suffix(4);
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), v);
    if (!n.empty() && ec == std::errc{} && end == n.data() + n.size() && (n == "0" || n.front() != '0') && v <= kMaxSlot)
        r.slot = v;
    return r;
}

fs::path rawPath(const fs::path& folder, bool cine, unsigned slot) {
    return folder / ((cine ? "cine_" : "image_") + std::to_string(slot) + ".raw");
}

void writeFile(const fs::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) fail(file, "cannot be created");
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) fail(file, "cannot be written");
}

std::string list(const std::set<std::uint8_t>& codes) {
    std::string s;
    for (auto c : codes) s += (s.empty() ? "" : ", ") + std::to_string(c);
    return s;
}

std::string list(const std::map<std::uint8_t, std::size_t>& pairs) {
    std::string s;
    for (auto [c, n] : pairs) s += (s.empty() ? "" : ", ") + std::to_string(c) + ":" + std::to_string(n);
    return s;
}

std::string decimal(double v) {
    std::ostringstream o;
    o.precision(17);
    o << v;
    return o.str();
}

} // namespace

void patternCf(std::uint64_t offset, std::span<std::uint8_t> out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint64_t p = offset + i;
        if (p >= kCfBytes) {
            out[i] = 0xFF;
            continue;
        }
        const auto block = static_cast<std::uint32_t>(p >> 16);
        const auto at = static_cast<std::uint32_t>(p & 0xFFFF);
        out[i] = at < 4 ? static_cast<std::uint8_t>(block >> (8 * at))
                        : static_cast<std::uint8_t>((at ^ (at >> 8) ^ block) & 0xFF);
    }
}

Card loadCardFolder(const fs::path& where) {
    std::error_code ec;
    if (!fs::is_directory(where, ec)) fail(where, "is not a folder");
    const fs::path folder = fs::absolute(where, ec);

    Card card;
    const fs::path ini = folder / kIni;
    if (fs::exists(ini, ec)) readIni(card, ini);
    card.imageCatalogue = readCatalogue(folder / kImageCatalogue);
    card.cineCatalogue = readCatalogue(folder / kCineCatalogue);

    // Sizes and names are checked now; the bytes are read when the scanner is asked for them.
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        const auto raw = rawName(name);
        if (!raw) continue;
        if (!raw->slot)
            fail(e.path(), std::string("is not a raw file name: the slot must be a decimal number from 0 to 65535 "
                                       "without leading zeros (") +
                               (raw->cine ? "cine" : "image") + "_0.raw, " + (raw->cine ? "cine" : "image") + "_12.raw)");
        const std::size_t limit = raw->cine ? kCineBytes : kImageBytes;
        const auto size = e.file_size(ec);
        if (ec) fail(e.path(), "cannot be read (" + ec.message() + ")");
        if (size > limit)
            fail(e.path(), "is " + std::to_string(size) + " bytes long, more than the " + std::to_string(limit) +
                               " bytes of " + (raw->cine ? "a cine" : "an image"));
    }
    if (ec) fail(folder, "cannot be listed (" + ec.message() + ")");

    card.image = [folder](unsigned slot) { return readPadded(rawPath(folder, false, slot), kImageBytes, 0); };
    card.cine = [folder](unsigned slot) { return readPadded(rawPath(folder, true, slot), kCineBytes, 0); };

    const fs::path cf = folder / kCf;
    if (fs::exists(cf, ec)) {
        const auto size = fs::file_size(cf, ec);
        if (ec) fail(cf, "cannot be read (" + ec.message() + ")");
        if (size > kCfBytes)
            fail(cf, "is " + std::to_string(size) + " bytes long, more than the " + std::to_string(kCfBytes) +
                         " bytes of the CF storage");
        card.cf = [cf](std::uint64_t offset, std::span<std::uint8_t> out) {
            std::fill(out.begin(), out.end(), std::uint8_t{0xFF}); // erased flash beyond the file
            std::ifstream in(cf, std::ios::binary);
            if (!in || offset >= kCfBytes) return;
            in.seekg(static_cast<std::streamoff>(offset));
            if (in) in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
            const auto got = in.gcount() > 0 ? static_cast<std::size_t>(in.gcount()) : 0;
            std::fill(out.begin() + static_cast<std::ptrdiff_t>(got), out.end(), std::uint8_t{0xFF});
        };
    } else {
        card.cf = [](std::uint64_t offset, std::span<std::uint8_t> out) { patternCf(offset, out); };
    }
    return card;
}

void writeCardFolder(const Card& card, const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) fail(folder, "cannot be created as a folder");

    // A card that the folder held before is replaced: files of the format that this card does
    // not have would otherwise come back with it.
    std::vector<fs::path> old;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
        if (rawName(e.path().filename().string()) || e.path().filename() == kCf) old.push_back(e.path());
    for (const fs::path& p : old)
        if (!fs::remove(p, ec) && ec) fail(p, "cannot be removed (" + ec.message() + ")");

    const ScannerIdentity& id = card.identity;
    const ScannerFaults& f = card.faults;
    const ScannerFaults defaults;
    std::ostringstream ini;
    ini << "; A simulated Kelvo scanner. The format: docs/simulator-card.md\n"
        << "[scanner]\n"
        << "magic_number = " << id.magic_number << "\n"
        << "svn_version = " << id.svn_version << "\n"
        << "probe = " << id.probe << "\n"
        << "lh = " << id.lh << "\n"
        << "version_svn = " << id.version_svn << "\n"
        << "field_of_view = " << id.field_of_view << "\n";
    if (card.imageMax) ini << "image_max = " << *card.imageMax << "\n";
    if (card.cineMax) ini << "cine_max = " << *card.cineMax << "\n";
    ini << "\n[faults]\n";
    if (!f.silentCommands.empty()) ini << "silent = " << list(f.silentCommands) << "\n";
    if (!f.shortReplies.empty()) ini << "short_reply = " << list(f.shortReplies) << "\n";
    if (f.staleSectors != defaults.staleSectors) ini << "stale_sectors = " << f.staleSectors << "\n";
    if (f.drainsIgnored != defaults.drainsIgnored) ini << "drains_ignored = " << f.drainsIgnored << "\n";
    if (f.linkLostAfterBlocks) ini << "link_lost_after_blocks = " << *f.linkLostAfterBlocks << "\n";
    if (f.outEndpointStalled) ini << "out_stalled = 1\n";
    if (f.bytesPerSecond != defaults.bytesPerSecond) ini << "bytes_per_second = " << decimal(f.bytesPerSecond) << "\n";
    if (f.latency != defaults.latency) ini << "latency_ms = " << f.latency.count() << "\n";
    const std::string iniText = ini.str();
    writeFile(folder / kIni, reinterpret_cast<const std::uint8_t*>(iniText.data()), iniText.size());

    writeFile(folder / kImageCatalogue, card.imageCatalogue.data(), card.imageCatalogue.size());
    writeFile(folder / kCineCatalogue, card.cineCatalogue.data(), card.cineCatalogue.size());

    auto writeSlots = [&](const std::vector<std::uint8_t>& catalogue, bool cine) {
        const auto& provider = cine ? card.cine : card.image;
        if (!provider) return;
        const std::size_t limit = cine ? kCineBytes : kImageBytes;
        for (std::size_t slot = 0; slot < catalogue.size() / kSector && slot <= kMaxSlot; ++slot) {
            const std::uint8_t* record = &catalogue[slot * kSector];
            if ((record[0] | (record[1] << 8)) != kSlotMarker) continue;
            const auto data = provider(static_cast<unsigned>(slot));
            if (!data) continue;
            writeFile(rawPath(folder, cine, static_cast<unsigned>(slot)), data->data(), std::min(data->size(), limit));
        }
    };
    writeSlots(card.imageCatalogue, false);
    writeSlots(card.cineCatalogue, true);
}

} // namespace kelvo::sim
