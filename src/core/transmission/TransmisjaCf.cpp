// Dumping the scanner's CF storage: 64 MiB in eight chunks of 8 MiB.
#include "transmission/Transmisja.h"

#include <fstream>
#include <iostream>
#include <stdexcept>

namespace kelvo {

std::vector<int> TQX27R_Transmisja::writeCF(const std::filesystem::path& file,
                                            const std::function<void(int chunk)>& progress) {
    std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
    if (!out) throw std::runtime_error("Cannot create \"" + file.string() + "\"");

    std::vector<int> failed;
    const std::vector<char> zeros(kCfChunkBytes, 0);
    for (int i = 0; i < kCfChunks; ++i) {
        if (progress) progress(i);
        else std::cout << i << std::endl;
        const bool ok = exchange(kCfChunkBytes, kWaitForever, [&] {
            return wyslijKomendeSlowoBajt(KOM_CZYTAJ_CF, static_cast<std::uint16_t>(i * 128), 128);
        }) && deliveredBytes() == kCfChunkBytes;
        // Every chunk stays at its own offset: a failed one is left as zeros, never closed up.
        out.seekp(static_cast<std::streamoff>(i) * kCfChunkBytes);
        if (ok) out.write(reinterpret_cast<const char*>(buffer().data()), kCfChunkBytes);
        else {
            failed.push_back(i);
            out.write(zeros.data(), kCfChunkBytes);
        }
        if (!out) throw std::runtime_error("Cannot write \"" + file.string() + "\"");
    }
    out.close();
    if (!out) throw std::runtime_error("Cannot write \"" + file.string() + "\"");
    return failed;
}

} // namespace kelvo
