// The download of one stored still image: one exchange of 131,072 bytes for command 13 with the
// entry's slot number, the annotated picture, its bitmap file, and the upload hook.
//
// Mended: a reply that ends before the whole picture has arrived is not an image. The rest of
// the buffer would still hold the previous transfer's bytes, and the bitmap would show them as
// if they were part of this scan. Such a reply counts as a failed download of the item: no file,
// no upload, and the run goes on with the next entry.
#include "imaging/BmpFile.h"
#include "items/UploadHook.h"
#include "platform/SystemText.h"
#include "render/ImageRenderer.h"
#include "transmission/Transmisja.h"

#include <stdexcept>
#include <string>

namespace kelvo {
namespace {

constexpr std::uint32_t kImagePause = 500;

static_assert(kImageBytes == kRawImageBytes);

} // namespace

ImageDownload TQX27R_Transmisja::pobierajImage(std::int32_t p_id, const ImageDownloadSettings& p_settings) {
    if (p_id < 0 || static_cast<std::size_t>(p_id) >= a_image_list.size())
        throw std::out_of_range("no catalogue entry at position " + std::to_string(p_id));
    const TImageData& e = *a_image_list[static_cast<std::size_t>(p_id)];

    ImageDownload result;
    // The pause paces the scanner between images: it follows every outcome, also a file that
    // could not be written, so that the end-of-transmission command keeps its distance too.
    try {
        const bool replied = exchange(kImageBytes, kImageWait, [&] {
            return wyslijKomendeSlowo(KOM_IMAGE, static_cast<std::uint16_t>(e.ID & 0xFFFF));
        });
        result.deliveredBytes = deliveredBytes();
        if (!replied) result.outcome = ImageDownload::Outcome::NoReply;
        else if (result.deliveredBytes < kImageBytes) result.outcome = ImageDownload::Outcome::ShortReply;
        else {
            const platform::AppFolders folders =
                p_settings.programFolders ? *p_settings.programFolders : platform::AppFolders::forThisProcess();
            RenderOptions options;
            options.rfidHook = findRfidIni(folders).has_value();
            options.codePage = p_settings.codePage;
            const Bitmap24 picture =
                renderImage(std::span<const std::uint8_t>(a_buf_usb.data(), kImageBytes), e, options);

            const std::filesystem::path file = a_folder / (std::to_string(std::int64_t{e.ID} + 1) + ".bmp");
            saveBmp(picture, file); // throws when the file cannot be written
            result.outcome = ImageDownload::Outcome::Saved;
            result.file = file;

            // Looked for again: the file may have come or gone while the picture was made.
            if (findRfidIni(folders)) {
                std::unique_ptr<platform::ProcessStarter> own;
                UploadHost host;
                host.folders = folders;
                host.starter = p_settings.starter;
                if (!host.starter) {
                    own = platform::systemProcessStarter();
                    host.starter = own.get();
                }
                host.showMessage = p_settings.showMessage;
                host.ansi = platform::systemAnsiText();
                host.scannerPage = p_settings.codePage;
                (void)uploadRFID(file, e, host);
                result.uploaded = true;
            }
        }
    } catch (...) {
        sleep(kImagePause);
        throw;
    }
    sleep(kImagePause);
    return result;
}

} // namespace kelvo
