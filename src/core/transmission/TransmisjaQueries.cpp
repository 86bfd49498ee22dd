// The six device queries: one 512-byte exchange each, values as unsigned 16-bit little-endian
// words from byte 2 on, and a 500 ms pause afterwards whatever happened.
#include "transmission/Transmisja.h"

#include <array>

namespace kelvo {

bool TQX27R_Transmisja::query(std::uint8_t p_kod, std::uint32_t wait, std::span<std::int32_t* const> outputs) {
    const bool replied = exchange(kQueryReplyBytes, wait, [&] { return wyslijKomende(p_kod); });
    // A reply that ends before the words it carries is no answer: the bytes there would be
    // the previous reply's.
    const std::size_t needed = 2 + 2 * outputs.size();
    const bool ok = replied && deliveredBytes() >= needed;
    if (ok) {
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            const std::size_t at = 2 + 2 * i;
            *outputs[i] = static_cast<std::int32_t>(a_buf_usb[at] | (a_buf_usb[at + 1] << 8));
        }
    }
    sleep(500);
    return ok;
}

bool TQX27R_Transmisja::Daj_magic_number(std::int32_t& p_magic_number) {
    const std::array outputs{&p_magic_number};
    return query(KOM_MAGIC_NUMBER, kQueryWait, outputs);
}

bool TQX27R_Transmisja::Daj_svn_version(std::int32_t& p_svn_version) {
    const std::array outputs{&p_svn_version};
    return query(KOM_SVN_VERSION, kQueryWait, outputs);
}

bool TQX27R_Transmisja::Daj_version(std::int32_t& p_PROBE, std::int32_t& p_LH, std::int32_t& p_versionSVN) {
    const std::array outputs{&p_PROBE, &p_LH, &p_versionSVN};
    return query(KOM_VERSION, kQueryWait, outputs);
}

bool TQX27R_Transmisja::Daj_pole_widzenia(std::int32_t& p_pole_widzenia) {
    const std::array outputs{&p_pole_widzenia};
    return query(KOM_POLE_WIDZENIA, kQueryWait, outputs);
}

bool TQX27R_Transmisja::Daj_image_max(std::int32_t& p_image_max) {
    const std::array outputs{&p_image_max};
    return query(KOM_IMAGE_MAX, kQueryWait, outputs);
}

bool TQX27R_Transmisja::Daj_cine_max(std::int32_t& p_cine_max) {
    const std::array outputs{&p_cine_max};
    return query(KOM_CINE_MAX, kCineMaxWait, outputs);
}

} // namespace kelvo
