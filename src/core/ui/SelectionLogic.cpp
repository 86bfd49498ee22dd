#include "ui/SelectionLogic.h"

namespace kelvo::ui {

void SelectionLogic::generujListe(const TQX27R_Transmisja& p_usg, CodePage page) {
    generujListe(std::span<const std::unique_ptr<TImageData>>(p_usg.a_image_list), page);
}

void SelectionLogic::generujListe(std::span<const std::unique_ptr<TImageData>> entries, CodePage page) {
    rows_.clear();
    for (const auto& entry : entries) {
        SelectionRow row;
        row.id = std::to_string(static_cast<std::int64_t>(entry->ID) + 1);
        row.time = dajCzasStr(*entry);
        row.description = entry->dajOpisStr(page);
        row.checked = true;
        rows_.push_back(std::move(row));
    }
}

bool SelectionLogic::Zaznaczony(std::int32_t p_id) const {
    if (p_id < 0 || static_cast<std::size_t>(p_id) >= rows_.size()) return false;
    return rows_[static_cast<std::size_t>(p_id)].checked;
}

void SelectionLogic::sButton2Click(int tag) {
    for (auto& row : rows_) row.checked = tag != 0;
}

void SelectionLogic::setChecked(std::size_t row, bool checked) {
    if (row < rows_.size()) rows_[row].checked = checked;
}

std::vector<bool> SelectionLogic::ticks() const {
    std::vector<bool> out;
    out.reserve(rows_.size());
    for (const auto& row : rows_) out.push_back(row.checked);
    return out;
}

std::optional<std::vector<bool>> selectThroughDialog(SelectionLogic& dialog,
                                                     std::span<const std::unique_ptr<TImageData>> entries,
                                                     const ShowSelectionModal& showModal, CodePage page) {
    dialog.generujListe(entries, page);
    if (showModal(dialog) != kModalOk) return std::nullopt;
    std::vector<bool> ticked(entries.size());
    for (std::size_t p = 0; p < entries.size(); ++p) ticked[p] = dialog.Zaznaczony(static_cast<std::int32_t>(p));
    return ticked;
}

} // namespace kelvo::ui
