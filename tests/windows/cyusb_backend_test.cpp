// The Windows route's find and open under wine, where no CyUSB driver is installed: SetupAPI is
// loaded by name, no device of any of the three classes is present, refused opens raise
// "BLAD !!!!!!!!!" with a hint, and the records handed to the driver are the driver's own.
#include "device/NativeBackend.h"
#include "device/UsbLibrary.h"
#include "device/cyusb/CyUsbBackend.h"
#include "device/cyusb/CyUsbPort.h"

#include "StandInDriver.h"

#include <setupapi.h>
// Last: it defines CTL_CODE as a macro, which would clash with kelvo::CTL_CODE in UsbTypes.h.
#include <winioctl.h>

#include <cstdio>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

using ::testing::HasSubstr;

std::string guidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                  g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

template <typename T>
std::vector<std::uint8_t> bytesOf(const T& record) {
    std::vector<std::uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &record, sizeof(T));
    return bytes;
}

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A file of this test in the temporary folder, created empty; removed at the end.
class TempFile {
public:
    TempFile() {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + uniqueName(L"kelvo-device") + L".bin";
        const HANDLE h = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    ~TempFile() { DeleteFileW(path_.c_str()); }
    const std::wstring& wide() const { return path_; }
    std::string path() const { return narrow(path_); }

private:
    std::wstring path_;
};

class CyUsbBackendTest : public ::testing::Test {
protected:
    RealClock clock;
    CyUsbBackend backend{clock};
};

TEST_F(CyUsbBackendTest, LoadsSetupApiByNameAgainAndAgain) {
    EXPECT_TRUE(backend.initLib());
    EXPECT_TRUE(backend.initLib());
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(USB_Init_Lib(backend)) << "call " << i;
    // The library stays loaded while the backend lives, and the layer keeps working.
    EXPECT_NE(GetModuleHandleW(L"setupapi.dll"), nullptr);
    std::string path = "unchanged";
    EXPECT_FALSE(backend.findDevice(path, 0));
    EXPECT_EQ(path, "unchanged");
}

TEST_F(CyUsbBackendTest, FindsNoDeviceOfAnyClassAndLeavesThePath) {
    ASSERT_TRUE(backend.initLib());
    for (int selector : {0, 1, 2}) {
        std::string path = "C:\\previous";
        EXPECT_FALSE(backend.findDevice(path, selector)) << "selector " << selector;
        EXPECT_EQ(path, "C:\\previous") << "selector " << selector;
        std::string empty;
        EXPECT_FALSE(USB_Find_Device(backend, empty, selector));
        EXPECT_TRUE(empty.empty());
    }
}

TEST_F(CyUsbBackendTest, OtherSelectorsFindNothing) {
    ASSERT_TRUE(backend.initLib());
    for (int selector : {3, 4, -1, 1000}) {
        std::string path = "kept";
        EXPECT_FALSE(backend.findDevice(path, selector)) << "selector " << selector;
        EXPECT_EQ(path, "kept");
    }
}

TEST_F(CyUsbBackendTest, FindBindsTheLibraryWhenNotYetLoaded) {
    std::string path = "kept";
    EXPECT_FALSE(backend.findDevice(path, 0));
    EXPECT_EQ(path, "kept");
}

TEST_F(CyUsbBackendTest, ManyFindsInARow) {
    // The connection loop asks once a second; every find obtains and destroys an info list.
    ASSERT_TRUE(backend.initLib());
    for (int i = 0; i < 200; ++i) {
        std::string path;
        ASSERT_FALSE(backend.findDevice(path, 0)) << "find " << i;
    }
}

TEST(CyUsbInterfaceClasses, TheThreeGuidsOfPart11) {
    ASSERT_NE(cyUsbInterfaceClass(0), nullptr);
    EXPECT_EQ(guidText(*cyUsbInterfaceClass(0)), "{AE18AA60-7F6A-11D4-97DD-00010229B959}");
    ASSERT_NE(cyUsbInterfaceClass(1), nullptr);
    EXPECT_EQ(guidText(*cyUsbInterfaceClass(1)), "{B35924D6-3E16-4A9E-9782-5524A4B79BAC}");
    ASSERT_NE(cyUsbInterfaceClass(2), nullptr);
    EXPECT_EQ(guidText(*cyUsbInterfaceClass(2)), "{F880ADE3-3534-4F43-9A7C-A74FFC0FD59D}");
    EXPECT_EQ(cyUsbInterfaceClass(3), nullptr);
    EXPECT_EQ(cyUsbInterfaceClass(-1), nullptr);
}

TEST(CyUsbInterfaceClasses, SetupApiRecordSizesOfThisBuild) {
    // The find sets the records' size fields with sizeof: these are the platform's values.
#ifdef _WIN64
    EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DATA), 32u);
    EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), 8u);
#else
    EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DATA), 28u);
    EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), 5u);
#endif
    EXPECT_EQ(DIGCF_PRESENT | DIGCF_DEVICEINTERFACE, 0x12);
    EXPECT_EQ(sizeof(HANDLE), sizeof(void*)); // the handle is pointer-sized, not 32 bits
}

// --- opening -----------------------------------------------------------------------------------

void expectOpenRefused(CyUsbBackend& backend, const std::string& path, const std::string& hintPart) {
    try {
        (void)backend.openDevice(path);
        ADD_FAILURE() << "the open of \"" << path << "\" succeeded";
    } catch (const UsbOpenError& error) {
        EXPECT_STREQ(error.what(), "BLAD !!!!!!!!!");
        EXPECT_THAT(error.hint(), HasSubstr(hintPart)) << error.hint();
        EXPECT_THAT(error.hint(), HasSubstr("Windows error ")) << error.hint();
    }
}

TEST_F(CyUsbBackendTest, EmptyPathIsRefused) {
    // After a find whose path read failed, the open gets the unchanged empty text.
    expectOpenRefused(backend, "", "no device path");
}

TEST_F(CyUsbBackendTest, PathThatDoesNotExistIsRefused) {
    const std::string gone = "\\\\?\\usb#vid_04b4&pid_8613#5&1a2b3c4d&0&1#{ae18aa60-7f6a-11d4-97dd-00010229b959}";
    expectOpenRefused(backend, gone, "there is no device at \"" + gone + "\"");
    expectOpenRefused(backend, "C:\\no\\such\\folder\\scanner", "unplugged");
}

TEST_F(CyUsbBackendTest, OpenThroughTheDeviceLayerRaises) {
    TUSB_Device device(clock);
    EXPECT_THROW(USB_Open_Device(backend, device, ""), UsbOpenError);
    EXPECT_FALSE(device.aHandle);
    // A device that was never opened sends nothing.
    TBuffer_512B block{};
    EXPECT_FALSE(USB_Write_Block(device, block));
    EXPECT_FALSE(USB_Send_Command(device, block));
    EXPECT_FALSE(USB_Set_Transfer_Size(device));
}

TEST_F(CyUsbBackendTest, ScannerHeldByAnotherProgramIsRefusedWithThatHint) {
    const TempFile file;
    // Another program holds the "device" without sharing: the open is refused (sharing violation).
    const HANDLE other = CreateFileW(file.wide().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    expectOpenRefused(backend, file.path(), "another program has the scanner open");
    CloseHandle(other);
}

TEST_F(CyUsbBackendTest, InvalidTextIsRefused) {
    try {
        (void)backend.openDevice(std::string("\\\\?\\usb#\xFF\xFE"));
        ADD_FAILURE() << "the open succeeded";
    } catch (const UsbOpenError& error) {
        EXPECT_STREQ(error.what(), "BLAD !!!!!!!!!");
        EXPECT_FALSE(error.hint().empty());
    }
}

TEST_F(CyUsbBackendTest, OpenedHandleIsExclusiveAndClosedWithThePort) {
    const TempFile file;
    {
        auto port = backend.openDevice(file.path());
        ASSERT_TRUE(port);
        // Share mode 0: a second open of the same path is refused while the port lives.
        expectOpenRefused(backend, file.path(), "another program");
        // A file is no CyUSB device: the platform refuses the driver's requests at once, and the
        // port says so without waiting or hanging.
        TBuffer_512B block{};
        block.fill(0xFF);
        EXPECT_FALSE(port->writeBlock(block));
        std::vector<std::uint8_t> buffer(512);
        EXPECT_FALSE(port->armRead(buffer));
        EXPECT_EQ(port->waitRead(Millis{10}).status, ReadStatus::Failed);
        EXPECT_FALSE(port->setTransferSize(kReplyTransferSize));
    }
    // The port has closed its handle: the path opens again.
    auto again = backend.openDevice(file.path());
    EXPECT_TRUE(again);
}

TEST_F(CyUsbBackendTest, DeviceLayerOverAFileSendsNothing) {
    const TempFile file;
    TUSB_Device device(clock);
    ASSERT_TRUE(USB_Open_Device(backend, device, file.path()));
    TBuffer_512B block{};
    EXPECT_FALSE(USB_Write_Block(device, block));
    EXPECT_FALSE(USB_Send_Command(device, block));
    EXPECT_FALSE(USB_Set_Transfer_Size(device));
}

TEST(NativeBackendOnWindows, IsTheCyUsbRoute) {
    RealClock clock;
    auto backend = makeNativeBackend(clock, UsbId{});
    ASSERT_TRUE(backend);
    EXPECT_NE(dynamic_cast<CyUsbBackend*>(backend.get()), nullptr);
    EXPECT_TRUE(backend->initLib());
    std::string path = "kept";
    EXPECT_FALSE(backend->findDevice(path, kScannerInterfaceClass));
    EXPECT_EQ(path, "kept");
}

// --- the records on the wire -------------------------------------------------------------------

TEST(CyUsbRecords, SingleTransferForAWrite) {
    const auto bytes = bytesOf(makeSingleTransfer(kEndpointOut));
    ASSERT_EQ(bytes.size(), 38u);
    for (std::size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], i == 13 ? 0x02 : 0x00) << "byte " << i;
}

TEST(CyUsbRecords, SingleTransferForARead) {
    const auto bytes = bytesOf(makeSingleTransfer(kEndpointIn));
    ASSERT_EQ(bytes.size(), 38u);
    for (std::size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], i == 13 ? 0x86 : 0x00) << "byte " << i;
}

TEST(CyUsbRecords, SetTransferSizeInfo) {
    EXPECT_EQ(bytesOf(kReplyTransferSize), (std::vector<std::uint8_t>{0x86, 0x00, 0x00, 0x02, 0x00}));
}

TEST(CyUsbRecords, RequestCodesAndOpenAccess) {
    EXPECT_EQ(IOCTL_ADAPT_SEND_NON_EP0_DIRECT, 0x0022004Bu);
    EXPECT_EQ(IOCTL_ADAPT_SET_TRANSFER_SIZE, 0x00220038u);
    // The platform's own CTL_CODE gives the same values.
    EXPECT_EQ(static_cast<std::uint32_t>(CTL_CODE(FILE_DEVICE_UNKNOWN, 18, METHOD_NEITHER, FILE_ANY_ACCESS)),
              IOCTL_ADAPT_SEND_NON_EP0_DIRECT);
    EXPECT_EQ(static_cast<std::uint32_t>(CTL_CODE(FILE_DEVICE_UNKNOWN, 14, METHOD_BUFFERED, FILE_ANY_ACCESS)),
              IOCTL_ADAPT_SET_TRANSFER_SIZE);
    EXPECT_EQ(kCyUsbOpenAccess, 0xC0000003u);
}

} // namespace
} // namespace kelvo::test
