#include "cine/FrameExport.h"

#include "base/AtomicFile.h"
#include "cine/CineFrames.h"
#include "imaging/BmpFile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace kelvo {
namespace {

void readFrame(std::ifstream& in, std::vector<std::uint8_t>& frame, const std::filesystem::path& file, int k) {
    in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
    if (in.gcount() != static_cast<std::streamsize>(frame.size()))
        throw std::runtime_error("cannot read raw frame " + std::to_string(k) + " of \"" + pathToUtf8(file) + "\"");
}

} // namespace

std::string frameStatus(int k, int n) {
    return "Frame: " + std::to_string(k) + "/" + std::to_string(n);
}

std::filesystem::path frameFile(const std::filesystem::path& tmpFolder, int k) {
    return tmpFolder / ("a_cine_" + std::to_string(k) + ".bmp");
}

FrameExport eksportujKlatki(const std::filesystem::path& rawFile, const std::filesystem::path& tmpFolder, bool mirrored,
                            int width, const FrameExportHooks& hooks) {
    std::ifstream in(rawFile, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open the raw cine \"" + pathToUtf8(rawFile) + "\"");
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(rawFile, ec);
    if (ec) throw std::runtime_error("cannot read the size of \"" + pathToUtf8(rawFile) + "\": " + ec.message());

    FrameExport result;
    result.rawFrames = static_cast<int>(std::min<std::uintmax_t>(size / kCineFrameBytes, 0x7FFFFFFF));
    if (result.rawFrames < 2) return result;

    // Each raw frame is read once: frame k + 1 of one step is frame k of the next.
    std::vector<std::uint8_t> current(kCineFrameBytes), next(kCineFrameBytes), mean(kCineFrameBytes);
    readFrame(in, current, rawFile, 0);
    for (int k = 0; k + 1 < result.rawFrames; ++k) {
        if (hooks.status) hooks.status(frameStatus(k, result.rawFrames));
        readFrame(in, next, rawFile, k + 1);
        usrednijKlatki(current, next, mean);
        saveBmp(klatkaCine(mean, mirrored, width), frameFile(tmpFolder, k));
        ++result.written;
        if (hooks.processMessages) hooks.processMessages();
        if (hooks.breakRequested && hooks.breakRequested()) {
            result.broken = true;
            return result;
        }
        current.swap(next);
    }
    return result;
}

} // namespace kelvo
