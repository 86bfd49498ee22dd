#include "cine/VideoEncoder.h"

#include "base/AtomicFile.h"
#include "cine/FrameExport.h"
#include "platform/ShortPath.h"
#include "platform/SystemText.h"

#include <fstream>
#include <span>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kelvo {
namespace {

std::string fill(std::string_view format, std::initializer_list<std::string_view> values) {
    std::string out;
    auto next = values.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next != values.end()) {
            out += *next++;
            ++i;
        } else
            out += format[i];
    }
    return out;
}

#ifndef _WIN32
bool isExecutableFile(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec) && access(file.c_str(), X_OK) == 0;
}
#endif

std::filesystem::path scriptFolder(const platform::AppFolders& folders) {
    if (platform::isFolderWritable(folders.executable)) return folders.executable;
    std::string error;
    if (platform::ensureFolder(folders.state, &error)) return folders.state;
    return folders.executable; // the write then says what is wrong
}

// The last line the encoder wrote; it redraws its progress with CR, so CR ends a line too.
std::string lastLine(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string piece, last;
    for (char c; in.get(c);) {
        if (c == '\r' || c == '\n') {
            while (!piece.empty() && piece.back() == ' ')
                piece.pop_back();
            if (!piece.empty()) last = piece;
            piece.clear();
        } else
            piece += c;
    }
    while (!piece.empty() && piece.back() == ' ')
        piece.pop_back();
    return piece.empty() ? last : piece;
}

std::string cineNumber(const TImageData& p_dane) {
    return std::to_string(std::int64_t{p_dane.ID} + 1);
}

} // namespace

std::string videoFileName(const TImageData& p_dane) {
    return cineNumber(p_dane) + "_cine.avi";
}

std::string ffmpegBatchLine(std::string_view F, std::string_view I, std::string_view O) {
    return fill("\"%s\" -r 12.000 -i \"%s\" -threads:v 2 -vf \"scale=0:0,setdar=4:3\" -codec:v mpeg4 -r 15.000 "
                "-b:v 1200k  -flags +aic+mv4 -trellis 1 -mbd 2 -cmp 2 -subcmp 2 -g 250 -me_range 1023 -an -y \"%s\" ",
                {F, I, O});
}

std::vector<std::string> ffmpegArguments(std::string_view I, std::string_view O) {
    return {"-r",         "12.000", "-i",          std::string(I),
            "-threads:v", "2",      "-vf",         "scale=0:0,setdar=4:3",
            "-codec:v",   "mpeg4",  "-r",          "15.000",
            "-b:v",       "1200k",  "-flags",      "+aic+mv4",
            "-trellis",   "1",      "-mbd",        "2",
            "-cmp",       "2",      "-subcmp",     "2",
            "-g",         "250",    "-me_range",   "1023",
            "-an",        "-y",     std::string(O)};
}

std::string patternSafe(std::string_view folder) {
    std::string out;
    for (const char c : folder) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

EncoderPlan planEncoder(const EncoderInputs& in) {
    EncoderPlan plan;
    plan.style = in.style;
    const std::string video = std::to_string(std::int64_t{in.ID} + 1) + "_cine.avi";
    if (in.style == UploadStyle::WindowsBatch) {
        const std::string F = batchSafePath(in.encoder);
        const std::string I = batchSafePath(patternSafe(in.framesFolder)) + "\\tmp\\a_cine_%%d.bmp";
        const std::string O = batchSafePath(in.videoFolder) + "\\" + video;
        const std::string text = ffmpegBatchLine(F, I, O) + "\r\n";
        plan.script = in.scriptFolder / kEncoderBatchName;
        plan.bytes = in.ansi.fromUtf8 ? in.ansi.fromUtf8(text) : encodeFromUtf8(text);
        return plan;
    }
    const std::string I = pathToUtf8(platform::pathFromUtf8(patternSafe(in.framesFolder)) / "tmp" / "a_cine_%d.bmp");
    const std::string O = pathToUtf8(platform::pathFromUtf8(in.videoFolder) / video);
    plan.program = platform::pathFromUtf8(in.encoder);
    plan.arguments = ffmpegArguments(I, O);
    plan.script = in.scriptFolder / kEncoderScriptName;
    plan.bytes = "#!/bin/sh\n" + shellQuote(in.encoder);
    for (const auto& a : plan.arguments)
        plan.bytes += " " + shellQuote(a);
    plan.bytes += '\n';
    return plan;
}

EncoderRun uruchomFFmpeg(const std::filesystem::path& a_folder, const std::filesystem::path& p_folder,
                         const TImageData& p_dane, const EncoderSettings& settings) {
    const platform::AppFolders folders = settings.programFolders.value_or(platform::AppFolders::forThisProcess());
    EncoderRun run;
    run.lookedIn = folders.executable;
    run.video = p_folder / videoFileName(p_dane);

    EncoderInputs in;
    in.style = kNativeUploadStyle;
    in.ID = p_dane.ID;
#ifdef _WIN32
    in.encoder = platform::shortPathText(folders.executable / kEncoderWindowsName);
    in.framesFolder = platform::shortPathText(a_folder);
    in.videoFolder = platform::shortPathText(p_folder);
#else
    if (const auto beside = folders.executable / kEncoderPosixName;
        !folders.executable.empty() && isExecutableFile(beside))
        in.encoder = pathToUtf8(beside);
    else if (settings.searchPath)
        if (const auto found = platform::findOnPath(kEncoderPosixName)) in.encoder = pathToUtf8(*found);
    in.framesFolder = pathToUtf8(a_folder);
    in.videoFolder = pathToUtf8(p_folder);
#endif
    if (in.encoder.empty()) return run; // Missing: an empty program name would start nothing
    in.scriptFolder = scriptFolder(folders);
    in.ansi = settings.ansi.value_or(platform::systemAnsiText());
    run.plan = planEncoder(in);

    const auto* data = reinterpret_cast<const std::uint8_t*>(run.plan.bytes.data());
    const std::span<const std::uint8_t> bytes(data, run.plan.bytes.size());
    if (run.plan.style == UploadStyle::WindowsBatch) {
        writeFileAtomically(run.plan.script, bytes);
    } else {
        try {
            writeFileAtomically(run.plan.script, bytes);
            std::error_code ec; // being runnable by hand is a convenience
            std::filesystem::permissions(run.plan.script,
                                         std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec |
                                             std::filesystem::perms::others_exec,
                                         std::filesystem::perm_options::add, ec);
        } catch (const std::exception&) {
            // The record only: the encoder runs from the arguments, not from the script.
        }
    }

    std::unique_ptr<platform::ProgramRunner> own;
    platform::ProgramRunner* runner = settings.runner;
    if (!runner) {
        own = platform::systemProgramRunner();
        runner = own.get();
    }
    if (run.plan.style == UploadStyle::WindowsBatch) {
        run.exit = runner->shellOpenAndWait(run.plan.script, settings.whileWaiting);
    } else {
        run.log = a_folder / "tmp" / ("ffmpeg_" + cineNumber(p_dane) + ".log");
        run.exit = runner->runAndWait(run.plan.program, run.plan.arguments, run.log, settings.whileWaiting);
    }

    std::error_code ec;
    if (run.exit.end == platform::ProgramExit::End::NotStarted)
        run.outcome = EncoderRun::Outcome::NotStarted;
    else if (run.exit.succeeded() && std::filesystem::is_regular_file(run.video, ec))
        run.outcome = EncoderRun::Outcome::Made;
    else {
        run.outcome = EncoderRun::Outcome::Failed;
        if (!run.log.empty()) run.lastOutputLine = lastLine(run.log);
    }
    return run;
}

std::string encoderProblem(const EncoderRun& run, const TImageData& p_dane) {
    const std::string head = "No video for cine " + cineNumber(p_dane) + ": ";
    switch (run.outcome) {
    case EncoderRun::Outcome::Made: return {};
    case EncoderRun::Outcome::Missing: // the same for every cine: a run shows it once
#ifdef _WIN32
        return std::string("No video can be made: the encoder \"") + kEncoderWindowsName +
               "\" is not in the program's folder \"" + pathToUtf8(run.lookedIn) + "\".";
#else
        return std::string("No video can be made: the encoder \"") + kEncoderPosixName +
               "\" is neither in the program's folder \"" + pathToUtf8(run.lookedIn) +
               "\" nor on PATH (Debian: apt install ffmpeg).";
#endif
    case EncoderRun::Outcome::NotStarted:
        return head + "the encoder \"" +
               pathToUtf8(run.plan.style == UploadStyle::WindowsBatch ? run.plan.script : run.plan.program) +
               "\" could not be started.";
    case EncoderRun::Outcome::Failed: {
        std::string text = head;
        if (run.exit.end != platform::ProgramExit::End::Exited)
            text += "the encoder's end could not be awaited";
        else if (run.exit.status != 0)
            text += "the encoder ended with exit status " + std::to_string(run.exit.status);
        else
            text += "the encoder ended without writing \"" + pathToUtf8(run.video) + "\"";
        if (!run.log.empty()) {
            text += "; its output is in \"" + pathToUtf8(run.log) + "\"";
            if (!run.lastOutputLine.empty()) text += ", ending: " + run.lastOutputLine;
        }
        return text + ".";
    }
    }
    return {};
}

} // namespace kelvo
