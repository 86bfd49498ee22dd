#pragma once
// The CyUSB driver's records and request codes, and the 512-byte block of the command channel.
// These are wire formats to the driver: byte-packed, little-endian.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace kelvo {

static_assert(std::endian::native == std::endian::little, "the driver records are little-endian");

using TBuffer_512B = std::array<std::uint8_t, 512>;
inline constexpr std::size_t kBlockSize = 512;

inline constexpr std::uint8_t kEndpointOut = 0x02; // commands, host to scanner
inline constexpr std::uint8_t kEndpointIn = 0x86;  // replies and data, scanner to host

constexpr std::uint32_t CTL_CODE(std::uint32_t deviceType, std::uint32_t function, std::uint32_t method,
                                 std::uint32_t access) {
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}

inline constexpr std::uint32_t FILE_DEVICE_UNKNOWN_TYPE = 0x22;
inline constexpr std::uint32_t IOCTL_ADAPT_SEND_NON_EP0_DIRECT = CTL_CODE(FILE_DEVICE_UNKNOWN_TYPE, 18, 3, 0);
inline constexpr std::uint32_t IOCTL_ADAPT_SET_TRANSFER_SIZE = CTL_CODE(FILE_DEVICE_UNKNOWN_TYPE, 14, 0, 0);
static_assert(IOCTL_ADAPT_SEND_NON_EP0_DIRECT == 0x0022004B);
static_assert(IOCTL_ADAPT_SET_TRANSFER_SIZE == 0x00220038);

#pragma pack(push, 1)
struct SETUP_PACKET {
    std::uint8_t bmRequest;
    std::uint8_t bRequest;
    std::uint16_t wValue;
    std::uint16_t wIndex;
    std::uint16_t wLength;
    std::uint32_t ulTimeOut;
};

struct SINGLE_TRANSFER {
    SETUP_PACKET SetupPacket;
    std::uint8_t WaitForever;
    std::uint8_t ucEndpointAddress;
    std::uint32_t NtStatus;
    std::uint32_t UsbdStatus;
    std::uint32_t IsoPacketOffset;
    std::uint32_t IsoPacketLength;
    std::uint32_t BufferOffset;
    std::uint32_t BufferLength;
};

struct SET_TRANSFER_SIZE_INFO {
    std::uint8_t EndpointAddress;
    std::uint32_t TransferSize;
};
#pragma pack(pop)

static_assert(sizeof(SETUP_PACKET) == 12);
static_assert(offsetof(SETUP_PACKET, ulTimeOut) == 8);
static_assert(sizeof(SINGLE_TRANSFER) == 38);
static_assert(offsetof(SINGLE_TRANSFER, WaitForever) == 12);
static_assert(offsetof(SINGLE_TRANSFER, ucEndpointAddress) == 13);
static_assert(offsetof(SINGLE_TRANSFER, NtStatus) == 14);
static_assert(offsetof(SINGLE_TRANSFER, UsbdStatus) == 18);
static_assert(offsetof(SINGLE_TRANSFER, IsoPacketOffset) == 22);
static_assert(offsetof(SINGLE_TRANSFER, IsoPacketLength) == 26);
static_assert(offsetof(SINGLE_TRANSFER, BufferOffset) == 30);
static_assert(offsetof(SINGLE_TRANSFER, BufferLength) == 34);
static_assert(sizeof(SET_TRANSFER_SIZE_INFO) == 5);
static_assert(offsetof(SET_TRANSFER_SIZE_INFO, TransferSize) == 1);

// A bulk request's record: zero but for the endpoint.
constexpr SINGLE_TRANSFER makeSingleTransfer(std::uint8_t endpoint) {
    SINGLE_TRANSFER record{};
    record.ucEndpointAddress = endpoint;
    return record;
}

// The transfer size of the reply endpoint, set once per download run: one image reply.
inline constexpr SET_TRANSFER_SIZE_INFO kReplyTransferSize{kEndpointIn, 0x00020000};

} // namespace kelvo
