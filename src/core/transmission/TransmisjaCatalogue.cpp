// The catalogues of stored images and cines: one exchange of N x 512 bytes, a copy
// of what arrived in a file, and the entry list of the occupied slots.
//
// Changes from the original program:
// - A reply that ends early yields entries only for the records that arrived whole; the original program
//   would build entries from the stale bytes behind it. Create_image_list looks only at records
//   lying wholly inside the bytes the last read delivered (deliveredBytes()), with its count as
//   the upper bound. The file copy holds the bytes received, no stale ones.
// - The image catalogue copy goes next to the executable, or, where that folder is not
//   writable (an installed program), to the per-user state folder (items/CatalogueCopy.h).
// - A copy that cannot be written anywhere no longer ends the run with a file error: the read
//   still returns true (the entries came in whole), and the warning text goes to the status
//   callback a_EventUpdateSTR when one is assigned. The pause follows on every outcome.
#include "items/CatalogueCopy.h"
#include "items/OpisRecord.h"
#include "platform/Paths.h"
#include "transmission/Transmisja.h"

#include <algorithm>

namespace kelvo {
namespace {

constexpr std::uint32_t kImageCataloguePause = 200;
constexpr std::uint32_t kCineCataloguePause = 500;

// The folders of this process. (Tests of the copy's placement use saveImageCatalogueCopy with
// folders of their own.)
platform::AppFolders catalogueFolders() { return platform::AppFolders::forThisProcess(); }

// N x 512 bytes; false for a count below 1 (the workflows never ask for one) or one whose
// bytes would not fit the read length.
bool catalogueLength(std::int32_t p_ilosc, std::uint32_t& length) {
    if (p_ilosc < 1 || static_cast<std::uint64_t>(p_ilosc) * kOpisRecordBytes > 0x7FFFFFFFu) return false;
    length = static_cast<std::uint32_t>(static_cast<std::uint64_t>(p_ilosc) * kOpisRecordBytes);
    return true;
}

} // namespace

bool TQX27R_Transmisja::Daj_images_opisy(std::int32_t p_ilosc) {
    std::uint32_t length = 0;
    const bool ok = catalogueLength(p_ilosc, length) &&
                    exchange(length, kCatalogueWait, [&] { return wyslijKomende(KOM_IMAGES_OPISY); });
    if (ok) {
        const std::size_t received = std::min<std::size_t>(deliveredBytes(), a_buf_usb.size());
        const CatalogueCopy copy =
            saveImageCatalogueCopy(std::span<const std::uint8_t>(a_buf_usb.data(), received), catalogueFolders());
        if (!copy.warning.empty() && a_EventUpdateSTR) a_EventUpdateSTR(*this, copy.warning);
    }
    sleep(kImageCataloguePause);
    return ok;
}

bool TQX27R_Transmisja::Daj_cine_opisy(std::int32_t p_ilosc) {
    utworzFolderTmp();
    std::uint32_t length = 0;
    const bool ok = catalogueLength(p_ilosc, length) &&
                    exchange(length, kCatalogueWait, [&] { return wyslijKomende(KOM_CINE_OPISY); });
    if (ok) {
        const std::size_t received = std::min<std::size_t>(deliveredBytes(), a_buf_usb.size());
        const CatalogueCopy copy =
            saveCineCatalogueCopy(std::span<const std::uint8_t>(a_buf_usb.data(), received), a_folder / "tmp");
        if (!copy.warning.empty() && a_EventUpdateSTR) a_EventUpdateSTR(*this, copy.warning);
    }
    sleep(kCineCataloguePause);
    return ok;
}

void TQX27R_Transmisja::Create_image_list(std::int32_t p_ilosc) {
    a_image_list.clear();
    const std::size_t received = std::min<std::size_t>(deliveredBytes(), a_buf_usb.size());
    for (const TImageData& entry : decodeCatalogue(std::span<const std::uint8_t>(a_buf_usb.data(), received), p_ilosc))
        a_image_list.push_back(std::make_unique<TImageData>(entry));
}

} // namespace kelvo
