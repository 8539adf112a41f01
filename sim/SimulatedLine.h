#pragma once

#include "seriallink/link/LineSource.h"

#include <chrono>

class ControllerSimulator;

// The simulator's controller on an in-process line: a link opened on the simulator's device path runs its
// exchanges against the simulator's store and faults with no device between, on a clock that moves only
// while the link waits for input. Replies arrive at their times on that clock and endless talk at its
// pace, so that time-outs and late answers cost no real time. Any other device fails to open.
class SimulatedLine : public CLineSource {
public:
    explicit SimulatedLine(ControllerSimulator& sim);

    LinkResult Open(const std::string& device, std::int32_t baudRate, std::unique_ptr<CByteChannel>& channel,
                    const PortNoteSink& notes) override;
    TimePoint Now() const override { return m_now; }

    // Time on the line's clock since it was made.
    std::chrono::milliseconds Elapsed() const;

private:
    ControllerSimulator& m_sim;
    TimePoint m_now{};
};
