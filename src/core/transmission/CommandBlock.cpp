#include "transmission/CommandBlock.h"

namespace kelvo {

TBuffer_512B makeSwitchOnBlock() {
    TBuffer_512B b;
    b.fill(0xFF);
    b[0] = 0xFE;
    b[1] = 0x01;
    b[2] = 0x38;
    b[3] = 0x01;
    return b;
}

TBuffer_512B makeCommandBlock(std::uint8_t p_kod) {
    TBuffer_512B b = makeSwitchOnBlock();
    b[4] = 0x39;
    b[5] = p_kod;
    return b;
}

TBuffer_512B makeCommandBlockByte(std::uint8_t p_kod, std::uint8_t p_bajt) {
    TBuffer_512B b = makeCommandBlock(p_kod);
    b[6] = 0x3A;
    b[7] = p_bajt;
    return b;
}

TBuffer_512B makeCommandBlockWord(std::uint8_t p_kod, std::uint16_t p_slowo) {
    TBuffer_512B b = makeCommandBlockByte(p_kod, static_cast<std::uint8_t>(p_slowo & 0xFF));
    b[8] = 0x3B;
    b[9] = static_cast<std::uint8_t>(p_slowo >> 8);
    return b;
}

TBuffer_512B makeCommandBlockWordByte(std::uint8_t p_kod, std::uint16_t p_slowo, std::uint8_t p_bajt) {
    TBuffer_512B b = makeCommandBlockWord(p_kod, p_slowo);
    b[10] = 0x38;
    b[11] = p_bajt;
    return b;
}

} // namespace kelvo
