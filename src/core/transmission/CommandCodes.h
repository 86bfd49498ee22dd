#pragma once
// The scanner's command codes, with the reply each one brings and how long it is waited for.
#include <cstdint>
#include <optional>

namespace kelvo {

inline constexpr std::uint8_t KOM_IMAGE_MAX = 10;
inline constexpr std::uint8_t KOM_IMAGES_OPISY = 11;
inline constexpr std::uint8_t KOM_IMAGE = 13;
inline constexpr std::uint8_t KOM_CINE_MAX = 20;
inline constexpr std::uint8_t KOM_CINE_OPISY = 21;
inline constexpr std::uint8_t KOM_CINE = 23;
inline constexpr std::uint8_t KOM_SMIECI = 24;
inline constexpr std::uint8_t KOM_SVN_VERSION = 50;
inline constexpr std::uint8_t KOM_MAGIC_NUMBER = 51;
inline constexpr std::uint8_t KOM_CZYTAJ_CF = 53;
inline constexpr std::uint8_t KOM_POLE_WIDZENIA = 54;
inline constexpr std::uint8_t KOM_USB_GOTOWE = 55;
inline constexpr std::uint8_t KOM_ROK = 56;
inline constexpr std::uint8_t KOM_MIESIAC = 57;
inline constexpr std::uint8_t KOM_DZIEN = 58;
inline constexpr std::uint8_t KOM_GODZINA = 59;
inline constexpr std::uint8_t KOM_MINUTA = 60;
inline constexpr std::uint8_t KOM_VERSION = 62;
inline constexpr std::uint8_t KOM_ZAKONCZ = 255;

// A read's wait limit in milliseconds; this value waits without limit.
inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;

// Reply sizes and waits of the commands that bring a reply.
inline constexpr std::uint32_t kQueryReplyBytes = 512;
inline constexpr std::uint32_t kQueryWait = 256;
inline constexpr std::uint32_t kCineMaxWait = 1000;
inline constexpr std::uint32_t kCatalogueWait = 5000;
inline constexpr std::uint32_t kImageBytes = 131072;
inline constexpr std::uint32_t kImageWait = 5000;
inline constexpr std::uint32_t kCineBytes = 33554432;
inline constexpr std::uint32_t kDrainWait = 100;
inline constexpr std::uint32_t kCfChunkBytes = 8388608;
inline constexpr int kCfChunks = 8;
inline constexpr std::uint32_t kSwitchOnReadBytes = 1024;
inline constexpr std::uint32_t kSwitchOnReadWait = 1000;

} // namespace kelvo
