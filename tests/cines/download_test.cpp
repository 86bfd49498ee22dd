// The download of one cine on the simulated scanner, in virtual time: the command with the
// entry's slot, the one read of 32 MiB, the raw file, a reply that ends early, and a wait that
// is bounded and that the break flag ends.
#include "CineTestSupport.h"

#include "base/WireLog.h"
#include "device/sim/SimulatorBackend.h"
#include "simulator/Scanner.h"
#include "transmission/Transmisja.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace kelvo::test {
namespace {

using ::testing::Contains;

// Virtual time with an alarm: something happens once the clock has passed a given time, as a
// "Break" pressed in the middle of a wait.
class AlarmClock final : public Clock {
public:
    Millis now() const override { return inner_.now(); }
    void sleepFor(Millis duration) override {
        inner_.sleepFor(duration);
        if (alarm_ && now() >= when_) std::exchange(alarm_, {})();
    }
    void at(Millis when, std::function<void()> alarm) {
        when_ = when;
        alarm_ = std::move(alarm);
    }

private:
    VirtualClock inner_;
    Millis when_{0};
    std::function<void()> alarm_;
};

// A transfer object on the simulated scanner, switched on, with the cine catalogue read.
struct CineLink {
    explicit CineLink(sim::Card card) : scanner(std::move(card), clock), pacing(clock, scanner.log()), device(pacing) {
        device.aHandle = std::make_unique<SimulatorPort>(scanner, clock);
        tx = std::make_unique<TQX27R_Transmisja>(device);
        tx->a_folder = target.path;
        tx->WlaczTransmisjeUSB();
        tx->synchronizuj();
        std::int32_t count = 0;
        EXPECT_TRUE(tx->Daj_cine_max(count));
        EXPECT_TRUE(tx->Daj_cine_opisy(count));
        tx->Create_image_list(count);
    }
    std::vector<std::string> wire() const {
        std::vector<std::string> lines;
        for (const auto& e : scanner.log().events()) {
            const std::string line = e.line();
            lines.push_back(line.substr(line.find(' ') + 1));
        }
        return lines;
    }
    std::span<const std::uint8_t> buffer() const { return tx->buffer(); }

    ScratchFolder target;
    AlarmClock clock;
    sim::Scanner scanner;
    TracingClock pacing;
    TUSB_Device device;
    std::unique_ptr<TQX27R_Transmisja> tx;
};

TEST(CineDownload, PositionOneWithSlotFourIsFetchedWithFourAndStoredAsCine5) {
    CineLink link(cineCard(5, {0, 4}));
    ASSERT_EQ(link.tx->a_image_list.size(), 2u);
    ASSERT_EQ(link.tx->a_image_list[1]->ID, 4);

    const CineDownload got = link.tx->pobierajCine(1);
    EXPECT_EQ(got.outcome, CineDownload::Outcome::Complete);
    EXPECT_EQ(got.deliveredBytes, 33554432u);
    // One read of the whole loop, armed before command 23 with the word 4 went out.
    const auto lines = link.wire();
    const auto arm = std::find(lines.begin(), lines.end(), "arm 86 33554432");
    ASSERT_NE(arm, lines.end());
    EXPECT_EQ(*(arm + 1), "write 02 512 FE01380139173A043B00");
    EXPECT_THAT(lines, Contains("complete 86 33554432"));

    EXPECT_TRUE(link.tx->zapiszCine(1));
    const auto file = link.target.path / "tmp" / "cine_5.bin";
    EXPECT_EQ(link.tx->cineFile(*link.tx->a_image_list[1]), file);
    EXPECT_TRUE(readBytes(file) == cardCine(4));
    EXPECT_TRUE(link.scanner.protocolErrors().empty());
}

TEST(CineDownload, TheSameSlotStoredAgainLeavesOneFileWithTheLaterContent) {
    CineLink link(cineCard(1, {0}));
    const auto file = link.target.path / "tmp" / "cine_1.bin";
    writeBytes(file, std::vector<std::uint8_t>(1000, 0xAA)); // an earlier run's file
    ASSERT_TRUE(link.tx->pobierajCine(0).received());
    link.tx->zapiszCine(0);
    EXPECT_TRUE(readBytes(file) == cardCine(0));
    std::vector<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(link.target.path / "tmp"))
        names.push_back(f.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_THAT(names, ::testing::ElementsAre("cine_1.bin", "cine_opisy")); // no temporary left behind
}

// The second cine's reply stops after 1 MiB: what came is kept, and the rest reads as zeros
// rather than as the first cine.
TEST(CineDownload, AShortReplyKeepsWhatArrivedAndZerosTheRest) {
    CineLink link(cineCard(2, {0, 1}));
    ASSERT_EQ(link.tx->pobierajCine(0).outcome, CineDownload::Outcome::Complete);
    auto faults = link.scanner.faults();
    faults.shortReplies[23] = 1048576;
    link.scanner.setFaults(faults);

    const CineDownload got = link.tx->pobierajCine(1);
    EXPECT_EQ(got.outcome, CineDownload::Outcome::ShortReply);
    EXPECT_TRUE(got.received());
    EXPECT_EQ(got.deliveredBytes, 1048576u);
    const std::vector<std::uint8_t> second = cardCine(1);
    const auto buffer = link.buffer();
    ASSERT_EQ(buffer.size(), 33554432u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 1048576, second.begin()));
    EXPECT_TRUE(std::all_of(buffer.begin() + 1048576, buffer.end(), [](std::uint8_t b) { return b == 0; }));

    link.tx->zapiszCine(1);
    const auto stored = readBytes(link.target.path / "tmp" / "cine_2.bin");
    EXPECT_EQ(stored.size(), 33554432u);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), buffer.begin()));
}

TEST(CineDownload, ACineThatNeverComesIsGivenUpAfterItsBound) {
    CineLink link(cineCard(1, {0}, 40, {0}));
    const Millis start = link.clock.now();
    const CineDownload got = link.tx->pobierajCine(0);
    const Millis waited = link.clock.now() - start;
    EXPECT_EQ(got.outcome, CineDownload::Outcome::NoReply);
    EXPECT_FALSE(got.received());
    EXPECT_GE(waited, Millis{60000});
    EXPECT_LT(waited, Millis{61000});
    EXPECT_THAT(link.wire(), Contains("timeout 86 33554432"));
}

TEST(CineDownload, TheBreakFlagEndsTheWait) {
    CineLink link(cineCard(1, {0}, 40, {0}));
    const Millis start = link.clock.now();
    link.clock.at(start + Millis{3000}, [&] { link.tx->a_break = true; });
    const CineDownload got = link.tx->pobierajCine(0);
    const Millis waited = link.clock.now() - start;
    EXPECT_EQ(got.outcome, CineDownload::Outcome::Broken);
    EXPECT_GE(waited, Millis{3000});
    EXPECT_LE(waited, Millis{3000} + kStopPollInterval + Millis{20});
    // The read is retired: the end of the transmission still goes out and nothing is left armed.
    link.tx->zakoncz_transmisje();
    EXPECT_FALSE(link.scanner.usbMode());
}

// A cine on a slow scanner that is still coming when the break is pressed: the wait ends with
// the bytes so far, which are not taken as a cine.
TEST(CineDownload, ABreakDuringADeliveryEndsItWithoutACine) {
    sim::Card card = cineCard(1, {0});
    card.faults.bytesPerSecond = 8e6; // about 4.2 s for the loop
    CineLink link(std::move(card));
    link.clock.at(link.clock.now() + Millis{1000}, [&] { link.tx->a_break = true; });
    const CineDownload got = link.tx->pobierajCine(0);
    EXPECT_EQ(got.outcome, CineDownload::Outcome::Broken);
    EXPECT_GT(got.deliveredBytes, 0u);
    EXPECT_LT(got.deliveredBytes, 33554432u);
}

TEST(CineDownload, APositionOutsideTheListIsAnError) {
    CineLink link(cineCard(1, {0}));
    EXPECT_THROW(link.tx->pobierajCine(1), std::out_of_range);
    EXPECT_THROW(link.tx->zapiszCine(-1), std::out_of_range);
}

} // namespace
} // namespace kelvo::test
