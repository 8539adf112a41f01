#pragma once

#include <cstdint>
#include <optional>

// Bounds and randomness of one soak run.
struct SoakOptions {
    long pairs = 3000;      // request pairs to run at most
    int seconds = 300;      // wall-clock bound; the run stops after the pair in progress
    double faultRate = 0.1; // chance that a request gets a fault injected
    std::uint32_t seed = 0; // 0: a fresh seed, printed so that the run can be repeated
};

// "--pairs=N --seconds=N --fault-rate=R --seed=N"; nothing for anything else.
std::optional<SoakOptions> ParseSoakOptions(int argc, char** argv);
