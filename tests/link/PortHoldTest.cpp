#include "link/PortHold.h"
#include "tests/support/SimulatedControllerTest.h"

#include <vector>

namespace {

// The simulated line, counting the opens that reach it.
class CountingLine : public CLineSource {
public:
    explicit CountingLine(CLineSource& line) : m_line(line) {}
    LinkResult Open(const std::string& device, std::int32_t baudRate, std::unique_ptr<CByteChannel>& channel,
                    const PortNoteSink& notes) override {
        ++opens;
        return m_line.Open(device, baudRate, channel, notes);
    }
    TimePoint Now() const override { return m_line.Now(); }

    int opens = 0;

private:
    CLineSource& m_line;
};

struct HoldCase {
    const char* name;
    CPortHold::Silence silence;
    std::vector<SimFault> faults; // on the first requests, one each
    std::vector<bool> answered;   // the status ids asked under the hold
    int opens;
};

class PortHoldTest : public SimulatedControllerTest, public testing::WithParamInterface<HoldCase> {};

TEST_P(PortHoldTest, OpensOnceAndAgainOnlyAfterAFailure) {
    const HoldCase& c = GetParam();
    CountingLine counting(line);
    theApp.m_SerialComm.m_pLineSource = &counting;
    for (const SimFault fault : c.faults)
        sim.InjectFault(fault);
    std::vector<bool> answered;
    {
        const CPortHold hold(theApp, c.silence);
        const CPortHold inner(theApp); // changes nothing
        for (std::size_t i = 0; i < c.answered.size(); ++i)
            answered.push_back(theApp.ReadStatusId());
    }
    EXPECT_EQ(answered, c.answered);
    EXPECT_EQ(counting.opens, c.opens);
    EXPECT_FALSE(theApp.m_SerialComm.IsOpen()) << "the hold's end closes the port";
    // Without a hold every request opens and closes again.
    EXPECT_TRUE(theApp.ReadStatusId());
    EXPECT_EQ(counting.opens, c.opens + 1);
    EXPECT_FALSE(theApp.m_SerialComm.IsOpen());
}

using enum CPortHold::Silence;
INSTANTIATE_TEST_SUITE_P(
    Jobs, PortHoldTest,
    testing::Values(
        HoldCase{"ThreeRequestsOneOpen", Closes, {}, {true, true, true}, 1},
        HoldCase{"DamagedReplyClosesTheNextReopens", Closes, {SimFault::BadChecksum}, {false, true}, 2},
        HoldCase{"SilenceClosesInAJob", Closes, {SimFault::NoReply}, {false, true}, 2},
        HoldCase{"SilenceKeepsItOpenWhileWaiting",
                 KeepsOpen,
                 {SimFault::NoReply, SimFault::NoReply},
                 {false, false, true},
                 1},
        HoldCase{"DamageClosesEvenWhileWaiting", KeepsOpen, {SimFault::BadChecksum}, {false, true}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
