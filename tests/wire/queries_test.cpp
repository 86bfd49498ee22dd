// The device queries at wire level: how replies become values, what a failed query leaves
// alone, and the pause after every query.
#include "SimulatedLink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;

struct SwitchedOn : SimulatedLink {
    explicit SwitchedOn(sim::Card card = smallCard()) : SimulatedLink(std::move(card)), tx(device) {
        tx.WlaczTransmisjeUSB();
        tx.synchronizuj();
    }
    TQX27R_Transmisja tx;
};

TEST(Queries, ReplyWordsAreUnsignedLittleEndian) {
    // Bytes 2 and 3 of the reply, as the scanner sends them, and the value they must give.
    struct Case {
        std::uint8_t lo, hi;
        std::int32_t value;
    } cases[] = {{0x0D, 0x1C, 7181}, {0x0C, 0x1C, 7180}, {0x14, 0x07, 1812}, {0x13, 0x07, 1811}, {0xFF, 0xFF, 65535}};
    for (const auto& c : cases) {
        sim::Card card = smallCard();
        const auto word = static_cast<std::uint16_t>(c.lo | (c.hi << 8));
        card.identity.magic_number = word;
        card.identity.svn_version = word;
        card.identity.field_of_view = word;
        card.imageMax = word;
        card.cineMax = word;
        SwitchedOn link(std::move(card));
        std::int32_t magic = -1, svn = -1, fov = -1, images = -1, cines = -1;
        EXPECT_TRUE(link.tx.Daj_magic_number(magic));
        EXPECT_TRUE(link.tx.Daj_svn_version(svn));
        EXPECT_TRUE(link.tx.Daj_pole_widzenia(fov));
        EXPECT_TRUE(link.tx.Daj_image_max(images));
        EXPECT_TRUE(link.tx.Daj_cine_max(cines));
        EXPECT_EQ(std::vector<std::int32_t>({magic, svn, fov, images, cines}), std::vector<std::int32_t>(5, c.value))
            << "reply bytes " << int(c.lo) << " " << int(c.hi);
    }
}

TEST(Queries, VersionWordsComeFromBytesTwoToSeven) {
    SwitchedOn link; // probe 1, LH 2, SVN 3: a reply beginning 00 00 01 00 02 00 03 00
    std::int32_t probe = 0, lh = 0, svn = 0;
    ASSERT_TRUE(link.tx.Daj_version(probe, lh, svn));
    EXPECT_EQ(std::vector<std::int32_t>({probe, lh, svn}), std::vector<std::int32_t>({1, 2, 3}));
}

TEST(Queries, EachQuerySendsItsCommandWithTheReadArmedFirst) {
    SwitchedOn link;
    struct Case {
        const char* name;
        std::function<bool(TQX27R_Transmisja&)> run;
        const char* hex;
    } cases[] = {
        {"magic", [](auto& tx) { std::int32_t v; return tx.Daj_magic_number(v); }, "FE0138013933"},
        {"svn", [](auto& tx) { std::int32_t v; return tx.Daj_svn_version(v); }, "FE0138013932"},
        {"version", [](auto& tx) { std::int32_t a, b, c; return tx.Daj_version(a, b, c); }, "FE013801393E"},
        {"fov", [](auto& tx) { std::int32_t v; return tx.Daj_pole_widzenia(v); }, "FE0138013936"},
        {"images", [](auto& tx) { std::int32_t v; return tx.Daj_image_max(v); }, "FE013801390A"},
        {"cines", [](auto& tx) { std::int32_t v; return tx.Daj_cine_max(v); }, "FE0138013914"},
    };
    for (const auto& c : cases) {
        const auto from = link.mark();
        EXPECT_TRUE(c.run(link.tx)) << c.name;
        EXPECT_THAT(link.wire(from), ElementsAre("arm 86 512", std::string("write 02 512 ") + c.hex, "pause -- 10",
                                                 "write 02 512", "complete 86 512", "pause -- 500"))
            << c.name;
    }
}

TEST(Queries, UnansweredQueryFailsAfterItsWaitAndLeavesItsOutputAlone) {
    struct Case {
        std::uint8_t command;
        std::function<bool(TQX27R_Transmisja&, std::int32_t&)> run;
        std::int64_t waitMs;
    } cases[] = {
        {51, [](auto& tx, auto& v) { return tx.Daj_magic_number(v); }, 256},
        {50, [](auto& tx, auto& v) { return tx.Daj_svn_version(v); }, 256},
        {54, [](auto& tx, auto& v) { return tx.Daj_pole_widzenia(v); }, 256},
        {10, [](auto& tx, auto& v) { return tx.Daj_image_max(v); }, 256},
        {20, [](auto& tx, auto& v) { return tx.Daj_cine_max(v); }, 1000},
    };
    for (const auto& c : cases) {
        SwitchedOn link;
        link.setFaults([&](auto& f) { f.silentCommands.insert(c.command); });
        const auto from = link.mark();
        std::int32_t value = -7;
        EXPECT_FALSE(c.run(link.tx, value)) << int(c.command);
        EXPECT_EQ(value, -7) << int(c.command);
        const auto events = link.scanner.log().events();
        const auto& arm = events[from];
        const auto timeout =
            std::find_if(events.begin() + static_cast<std::ptrdiff_t>(from), events.end(),
                         [](const WireEvent& e) { return e.kind == "timeout"; });
        ASSERT_NE(timeout, events.end()) << int(c.command);
        EXPECT_EQ(timeout->ms - arm.ms, c.waitMs + 10) << int(c.command);
        EXPECT_EQ(events.back().line().substr(events.back().line().find(' ') + 1), "pause -- 500") << int(c.command);
    }
}

TEST(Queries, ShortReplyIsNoAnswerEvenWithAGoodReplyStillInTheBuffer) {
    SwitchedOn link;
    std::int32_t magic = 0;
    ASSERT_TRUE(link.tx.Daj_magic_number(magic));
    ASSERT_EQ(magic, 7181); // bytes 0D 1C now sit at offset 2 of the read buffer
    for (std::size_t delivered : {0u, 1u, 3u}) {
        link.setFaults([&](auto& f) { f.shortReplies[51] = delivered; });
        std::int32_t again = -7;
        EXPECT_FALSE(link.tx.Daj_magic_number(again)) << delivered << " bytes";
        EXPECT_EQ(again, -7) << delivered << " bytes";
    }
    link.setFaults([](auto& f) { f.shortReplies[62] = 6; }); // the third version word is missing
    std::int32_t a = -7, b = -7, c = -7;
    EXPECT_FALSE(link.tx.Daj_version(a, b, c));
    EXPECT_EQ(std::vector<std::int32_t>({a, b, c}), std::vector<std::int32_t>(3, -7));
}

TEST(Queries, EveryQueryTakesAtLeastHalfASecondEvenWhenItFailsAtOnce) {
    SwitchedOn link;
    std::int32_t v = 0;
    Millis start = link.clock.now();
    ASSERT_TRUE(link.tx.Daj_magic_number(v));
    EXPECT_GE(link.clock.now() - start, Millis{500});

    link.setFaults([](auto& f) { f.linkLostAfterBlocks = 0; });
    start = link.clock.now();
    EXPECT_FALSE(link.tx.Daj_image_max(v)); // cannot even be armed
    EXPECT_EQ(link.clock.now() - start, Millis{500});
}

} // namespace
} // namespace kelvo::test
