#pragma once
// The selection dialog without its toolkit: the rows of the stored items with their tick marks,
// "Check all", "Uncheck all", the modal result, and the bridge that makes it the selection of
// an ImageWorkflowHost. One instance lives as long as the program; its rows and ticks survive
// hiding, and the next generujListe discards them.
#include "items/CodePage.h"
#include "items/TImageData.h"
#include "transmission/Transmisja.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvo::ui {

// The dialog's fixed data, for the windows to draw.
namespace select {
inline constexpr const char* kCaption = "Select";
inline constexpr const char* kIdColumn = "ID";
inline constexpr const char* kTimeColumn = "Time";
inline constexpr const char* kDescriptionColumn = "Description";
inline constexpr int kIdColumnWidth = 44;
inline constexpr int kTimeColumnWidth = 150;
inline constexpr int kDescriptionColumnWidth = 250;
inline constexpr const char* kOkCaption = "OK";
inline constexpr const char* kCancelCaption = "Cancel";
inline constexpr const char* kCheckAllCaption = "Check all";
inline constexpr const char* kUncheckAllCaption = "Uncheck all";
inline constexpr int kCheckAllTag = 1;
inline constexpr int kUncheckAllTag = 0;
// The list's background, 16777189 as the platform's colour number (0x00BBGGRR), and as RGB.
inline constexpr std::uint32_t kListBackground = 16777189;
inline constexpr std::uint8_t kListBackgroundRed = 229, kListBackgroundGreen = 255, kListBackgroundBlue = 255;
} // namespace select

// Modal results: OK is 1, Cancel 2; closing the dialog otherwise gives 2 as well.
inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;

struct SelectionRow {
    std::string id;          // ID + 1, in decimal
    std::string time;        // dajCzasStr
    std::string description; // CF_OPIS up to its first NUL, as UTF-8
    bool checked = true;
};

class SelectionLogic {
public:
    // One row per entry, in list order, every row ticked.
    void generujListe(const TQX27R_Transmisja& p_usg, CodePage page = kDefaultCodePage);
    void generujListe(std::span<const std::unique_ptr<TImageData>> entries, CodePage page = kDefaultCodePage);

    // True when a row at p_id exists and is ticked.
    bool Zaznaczony(std::int32_t p_id) const;
    // "Check all" (Tag 1) and "Uncheck all" (Tag 0): every row's tick becomes Tag != 0.
    void sButton2Click(int tag);
    // The user ticked or cleared one row; positions without a row are ignored.
    void setChecked(std::size_t row, bool checked);

    const std::vector<SelectionRow>& rows() const { return rows_; }
    // The ticks by position, one per row.
    std::vector<bool> ticks() const;

private:
    std::vector<SelectionRow> rows_;
};

// Shows the dialog modally and returns its modal result.
using ShowSelectionModal = std::function<int(SelectionLogic&)>;

// The selection of ImageWorkflowHost::select (and the cine host's): fills the dialog with the
// entries, shows it, and gives the tick of every position when the result is OK, nothing
// otherwise.
std::optional<std::vector<bool>> selectThroughDialog(SelectionLogic& dialog,
                                                     std::span<const std::unique_ptr<TImageData>> entries,
                                                     const ShowSelectionModal& showModal,
                                                     CodePage page = kDefaultCodePage);

} // namespace kelvo::ui
