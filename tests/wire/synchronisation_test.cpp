// Synchronisation at wire level: the drain patterns for a scanner that answers at once, one that
// never answers, and a link that fails.
#include "SimulatedLink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const char* const kDrainOne = "FE01380139183A01";
const char* const kDrainTwo = "FE01380139183A02";

std::vector<std::string> drainAnswered(const char* hex) {
    std::vector<std::string> lines{"arm 86 512"};
    for (const auto& l : commandLines(hex)) lines.push_back(l);
    lines.push_back("complete 86 512");
    return lines;
}

std::vector<std::string> drainUnanswered(const char* hex) {
    std::vector<std::string> lines{"arm 86 512"};
    for (const auto& l : commandLines(hex)) lines.push_back(l);
    lines.push_back("timeout 86 512");
    lines.push_back("cancel 86 0");
    return lines;
}

void append(std::vector<std::string>& to, const std::vector<std::string>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

struct SwitchedOn : SimulatedLink {
    SwitchedOn() : tx(device) { tx.WlaczTransmisjeUSB(); }
    TQX27R_Transmisja tx;
};

TEST(Synchronisation, AnsweredAtOnce) {
    SwitchedOn link;
    const auto from = link.mark();
    EXPECT_TRUE(link.tx.synchronizuj());
    auto expected = drainAnswered(kDrainOne);
    expected.push_back("pause -- 500");
    EXPECT_THAT(link.wire(from), ElementsAreArray(expected));
}

TEST(Synchronisation, AnsweredAfterTwoDrainsGoUnanswered) {
    SwitchedOn link;
    link.setFaults([](auto& f) { f.drainsIgnored = 2; });
    const auto from = link.mark();
    EXPECT_TRUE(link.tx.synchronizuj());
    std::vector<std::string> expected;
    append(expected, drainUnanswered(kDrainOne));
    append(expected, drainUnanswered(kDrainOne));
    expected.push_back("pause -- 500");
    append(expected, drainAnswered(kDrainTwo));
    expected.push_back("pause -- 500");
    append(expected, drainAnswered(kDrainOne)); // the second sector asked for by the two-sector drain
    expected.push_back("pause -- 500");
    EXPECT_THAT(link.wire(from), ElementsAreArray(expected));
}

TEST(Synchronisation, NeverAnsweredRepeatsItsPatternUpToItsBound) {
    SwitchedOn link;
    link.setFaults([](auto& f) { f.drainsIgnored = 1000000; });
    const auto from = link.mark();
    const Millis start = link.clock.now();
    EXPECT_FALSE(link.tx.synchronizuj());

    std::vector<std::string> expected;
    append(expected, drainUnanswered(kDrainOne));
    append(expected, drainUnanswered(kDrainOne));
    for (int round = 0; round < TQX27R_Transmisja::kMaxSyncRounds; ++round) {
        expected.push_back("pause -- 500");
        append(expected, drainUnanswered(kDrainTwo));
        expected.push_back("pause -- 500");
        append(expected, drainUnanswered(kDrainOne));
    }
    expected.push_back("pause -- 500");
    EXPECT_THAT(link.wire(from), ElementsAreArray(expected));

    // Each unanswered drain waits its 100 ms.
    const auto events = link.scanner.log().events();
    for (std::size_t i = from; i < events.size(); ++i) {
        if (events[i].kind != "timeout") continue;
        std::size_t arm = i;
        while (events[arm].kind != "arm") --arm;
        EXPECT_EQ(events[i].ms - events[arm].ms, 110) << "drain at " << events[arm].ms; // 10 ms of it sending
    }
    EXPECT_LT(link.clock.now() - start, Millis{30000});
}

TEST(Synchronisation, BreakEndsANeverAnsweredSynchronisation) {
    SwitchedOn link;
    link.setFaults([](auto& f) { f.drainsIgnored = 1000000; });
    link.tx.a_break = true;
    const auto from = link.mark();
    EXPECT_FALSE(link.tx.synchronizuj());
    std::vector<std::string> expected;
    append(expected, drainUnanswered(kDrainOne));
    append(expected, drainUnanswered(kDrainOne));
    expected.push_back("pause -- 500");
    EXPECT_THAT(link.wire(from), ElementsAreArray(expected));
}

TEST(Synchronisation, LinkGoneStopsAtOnce) {
    SwitchedOn link;
    link.setFaults([](auto& f) { f.linkLostAfterBlocks = 0; });
    const auto from = link.mark();
    EXPECT_FALSE(link.tx.synchronizuj());
    EXPECT_THAT(link.wire(from), ElementsAre("arm-failed 86 512", "pause -- 500"));
}

TEST(Synchronisation, CommandThatCannotBeSentStopsAndRetiresTheRead) {
    SwitchedOn link;
    link.setFaults([](auto& f) { f.outEndpointStalled = true; });
    const auto from = link.mark();
    EXPECT_FALSE(link.tx.synchronizuj());
    EXPECT_THAT(link.wire(from),
                ElementsAre("arm 86 512", "write-failed 02 512 FE01380139183A01", "cancel 86 512", "pause -- 500"));
}

} // namespace
} // namespace kelvo::test
