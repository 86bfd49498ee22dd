// kelvo render RAW -o FILE.bmp: a raw picture rendered offline with a header given on the
// command line, exactly as a download renders it. For support and tests; talks to no scanner.
#include "CommandArgs.h"
#include "Commands.h"
#include "base/AtomicFile.h"
#include "imaging/BmpFile.h"
#include "platform/Paths.h"
#include "render/ImageRenderer.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace kelvo::cli {
namespace {

struct RenderRequest {
    std::filesystem::path raw;
    std::filesystem::path output;
    TImageData header;
    RenderOptions options;
};

void parseTime(const std::string& text, TImageData& h) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
    char sep = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &year, &month, &day, &sep, &hour, &minute, &second,
                    &consumed) != 7 ||
        (sep != ' ' && sep != 'T') || static_cast<std::size_t>(consumed) != text.size())
        throw UsageError("--time: \"" + text + "\" is not a time of the form YYYY-MM-DD HH:MM:SS");
    if (year < 2000 || year > 2255 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        throw UsageError("--time: \"" + text + "\" is not a time the scanner records (years 2000 to 2255)");
    h.CF_config_YY = year - 2000;
    h.CF_config_MM = month;
    h.CF_config_DD = day;
    h.CF_config_HH = hour;
    h.CF_config_MIN = minute;
    h.CF_config_SEC = second;
}

// The field's bytes in the scanner's code page, the rest filled with `fill`.
template <std::size_t N>
void setCharacters(std::array<std::uint8_t, N>& field, const std::string& utf8, CodePage page, std::uint8_t fill,
                   const char* option) {
    const std::string bytes = encodeFromUtf8(utf8, page);
    if (bytes.size() > N)
        throw UsageError(std::string(option) + ": at most " + std::to_string(N) + " characters, not " +
                         std::to_string(bytes.size()));
    field.fill(fill);
    std::copy(bytes.begin(), bytes.end(), field.begin());
}

Tpomiar parseMeasurement(const std::string& text) {
    std::int64_t v[4]{};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 3) != (comma != std::string::npos))
            throw UsageError("--measure: \"" + text + "\" is not X1,Y1,X2,Y2");
        v[i] = parseNumber(text.substr(start, i < 3 ? comma - start : std::string::npos), "--measure", 0, 65535);
        start = comma + 1;
    }
    Tpomiar p;
    p.x1 = static_cast<std::int32_t>(v[0]);
    p.y1 = static_cast<std::int32_t>(v[1]);
    p.x2 = static_cast<std::int32_t>(v[2]);
    p.y2 = static_cast<std::int32_t>(v[3]);
    return p;
}

RenderRequest parseRender(const Options& options) {
    RenderRequest r;
    TImageData& h = r.header;
    h.CF_CONFIG_ZOOM = 100;
    h.CF_config_MM = 1;
    h.CF_config_DD = 1;
    h.CF_OPIS.fill(' ');
    std::optional<std::string> rfid, desc;
    bool haveRaw = false, haveOutput = false;
    std::size_t measurements = 0;
    CommandArgs args(options.arguments);
    auto number = [&](const std::string& a, std::int64_t min, std::int64_t max) {
        return static_cast<std::int32_t>(parseNumber(args.value(a), a, min, max));
    };
    while (!args.done()) {
        const std::string& a = args.next();
        if (a == "-o" || a == "--output") {
            r.output = platform::pathFromUtf8(args.value(a));
            haveOutput = true;
        } else if (a == "--zakres") h.CF_config_zakres = number(a, 0, 65535);
        else if (a == "--focus") h.CF_config_focus = number(a, 0, 65535);
        else if (a == "--freq") h.CF_config_CZESTOTLIWOSC = number(a, 0, 65535);
        else if (a == "--zoom") h.CF_CONFIG_ZOOM = number(a, 0, 65535);
        else if (a == "--id") h.ID = number(a, 1, 65536) - 1;
        else if (a == "--time") parseTime(args.value(a), h);
        else if (a == "--rfid") rfid = args.value(a);
        else if (a == "--desc") desc = args.value(a);
        else if (a == "--swap") h.CF_ZAMIEN_LEWA_PRAWA = true;
        else if (a == "--rfid-ini") r.options.rfidHook = true;
        else if (a == "--code-page") r.options.codePage = parseCodePage(args.value(a));
        else if (a == "--measure") {
            if (measurements == h.g_Dane_wymiarowania.size()) throw UsageError("--measure: at most four measurements");
            h.g_Dane_wymiarowania[measurements++] = parseMeasurement(args.value(a));
        } else if (isOption(a)) throw UsageError("render: unknown option " + a);
        else if (!haveRaw) {
            r.raw = platform::pathFromUtf8(a);
            haveRaw = true;
        } else throw UsageError("render takes one RAW file");
    }
    if (!haveRaw) throw UsageError("render needs the RAW picture file");
    if (!haveOutput) throw UsageError("render needs the bitmap to write: -o FILE.bmp");
    // After the options: --code-page may come last.
    if (rfid) setCharacters(h.CF_RFID, *rfid, r.options.codePage, 0, "--rfid");
    if (desc) setCharacters(h.CF_OPIS, *desc, r.options.codePage, ' ', "--desc"); // padded as the scanner does
    h.CF_OPIS_jest = std::any_of(h.CF_OPIS.begin(), h.CF_OPIS.end(), [](std::uint8_t b) { return b != ' '; });
    return r;
}

} // namespace

int runRender(const Options& options, std::ostream& out, std::ostream& err) {
    const RenderRequest r = parseRender(options);
    std::ifstream in(r.raw, std::ios::binary);
    if (!in) {
        err << "kelvo: cannot read \"" << pathToUtf8(r.raw) << "\"\n";
        return kExitFailed;
    }
    const std::vector<std::uint8_t> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (raw.size() != kRawImageBytes) {
        err << "kelvo: \"" << pathToUtf8(r.raw) << "\" holds " << raw.size() << " bytes; a raw image holds "
            << kRawImageBytes << "\n";
        return kExitFailed;
    }
    saveBmp(renderImage(raw, r.header, r.options), r.output);
    out << "Wrote \"" << pathToUtf8(r.output) << "\"\n";
    return kExitOk;
}

} // namespace kelvo::cli
