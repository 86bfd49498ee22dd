#pragma once
// The 512-byte command block: filled with 0xFF, then FE 01 38 01, then as far as its shape needs
// 39 <code>, 3A <byte or low byte>, 3B <high byte>, 38 <byte after a word>.
#include "device/UsbTypes.h"

#include <cstdint>

namespace kelvo {

TBuffer_512B makeSwitchOnBlock();
TBuffer_512B makeCommandBlock(std::uint8_t p_kod);
TBuffer_512B makeCommandBlockByte(std::uint8_t p_kod, std::uint8_t p_bajt);
TBuffer_512B makeCommandBlockWord(std::uint8_t p_kod, std::uint16_t p_slowo);
TBuffer_512B makeCommandBlockWordByte(std::uint8_t p_kod, std::uint16_t p_slowo, std::uint8_t p_bajt);

} // namespace kelvo
