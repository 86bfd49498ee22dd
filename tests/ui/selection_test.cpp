// The selection dialog's rows and ticks, and the bridge to the workflows' selection.
#include "ui/SelectionLogic.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kelvo::test {
namespace {

std::unique_ptr<TImageData> entry(std::int32_t id, const char* opis) {
    auto e = std::make_unique<TImageData>();
    e->ID = id;
    e->CF_config_YY = 12, e->CF_config_MM = 2, e->CF_config_DD = 12;
    e->CF_config_HH = 12, e->CF_config_MIN = 57, e->CF_config_SEC = 33;
    std::memcpy(e->CF_OPIS.data(), opis, std::min<std::size_t>(std::strlen(opis), e->CF_OPIS.size()));
    return e;
}

std::vector<std::unique_ptr<TImageData>> catalogue() {
    std::vector<std::unique_ptr<TImageData>> list;
    list.push_back(entry(0, "liver"));
    list.push_back(entry(2, "\xB9 kidney")); // slot 1 empty; 0xB9 is 'ą' in Windows-1250
    list.push_back(entry(3, ""));
    list.back()->CF_OPIS[1] = 'x'; // after a leading NUL: not shown
    return list;
}

TEST(SelectionLogic, RowsShowIdPlusOneTimeAndDescriptionAllTicked) {
    const auto list = catalogue();
    ui::SelectionLogic dialog;
    dialog.generujListe(list);
    ASSERT_EQ(dialog.rows().size(), 3u);
    const auto& rows = dialog.rows();
    EXPECT_EQ(rows[0].id, "1");
    EXPECT_EQ(rows[1].id, "3");
    EXPECT_EQ(rows[2].id, "4");
    EXPECT_EQ(rows[0].time, "12.02.2012 12:57:33");
    EXPECT_EQ(rows[0].description, "liver");
    EXPECT_EQ(rows[1].description, "\xC4\x85 kidney");
    EXPECT_EQ(rows[2].description, "");
    for (const auto& row : rows) EXPECT_TRUE(row.checked);
}

TEST(SelectionLogic, CheckAllUncheckAllAndOneTicked) {
    const auto list = catalogue();
    ui::SelectionLogic dialog;
    dialog.generujListe(list);
    dialog.sButton2Click(ui::select::kUncheckAllTag);
    for (std::int32_t p = 0; p < 3; ++p) EXPECT_FALSE(dialog.Zaznaczony(p));
    dialog.setChecked(1, true);
    EXPECT_EQ(dialog.ticks(), (std::vector<bool>{false, true, false}));
    dialog.sButton2Click(ui::select::kCheckAllTag);
    EXPECT_EQ(dialog.ticks(), (std::vector<bool>{true, true, true}));
    dialog.sButton2Click(5); // any tag other than 0 ticks
    EXPECT_EQ(dialog.ticks(), (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(dialog.Zaznaczony(3));
    EXPECT_FALSE(dialog.Zaznaczony(-1));
}

TEST(SelectionLogic, TicksSurviveUntilTheListIsGeneratedAgain) {
    auto list = catalogue();
    ui::SelectionLogic dialog;
    dialog.generujListe(list);
    dialog.setChecked(0, false);
    EXPECT_FALSE(dialog.Zaznaczony(0)); // hiding the dialog changes nothing here
    list.pop_back();
    dialog.generujListe(list);
    EXPECT_EQ(dialog.ticks(), (std::vector<bool>{true, true}));
    dialog.generujListe(std::span<const std::unique_ptr<TImageData>>{});
    EXPECT_TRUE(dialog.rows().empty());
    EXPECT_FALSE(dialog.Zaznaczony(0));
}

TEST(SelectionBridge, OkGivesTheTicksByPositionAnythingElseNothing) {
    const auto list = catalogue();
    ui::SelectionLogic dialog;
    auto onlySecond = [](ui::SelectionLogic& d) {
        EXPECT_EQ(d.rows().size(), 3u); // filled before it is shown
        d.sButton2Click(ui::select::kUncheckAllTag);
        d.setChecked(1, true);
        return ui::kModalOk;
    };
    EXPECT_EQ(ui::selectThroughDialog(dialog, list, onlySecond), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(ui::selectThroughDialog(dialog, list, [](ui::SelectionLogic&) { return ui::kModalCancel; }),
              std::nullopt);
    EXPECT_EQ(ui::selectThroughDialog(dialog, list, [](ui::SelectionLogic&) { return 0; }), std::nullopt);
    const std::vector<std::unique_ptr<TImageData>> none;
    EXPECT_EQ(ui::selectThroughDialog(dialog, none, [](ui::SelectionLogic&) { return ui::kModalOk; }),
              std::vector<bool>{});
}

} // namespace
} // namespace kelvo::test
