// Runs request pairs (the status id, then a write or a read) through theApp's link against the
// controller simulator while it injects random faults, and checks after every request that the link
// told the truth: success only when the controller's answer arrived intact, each failure reported once
// with the message of its code, every read returning exactly the controller's block, and the store
// holding the block of the last write the controller carried out. Prints a summary; exits 1 on any
// violation, 2 on bad arguments.
#include "app/NetConfigApp.h"
#include "link/LinkMessageTable.h"
#include "link/MessageBoxSink.h"
#include "platform/MessageBox.h"
#include "res/StringTable.h"
#include "sim/ControllerSimulator.h"
#include "tests/soak/MemoryStatus.h"
#include "tests/soak/SoakOptions.h"

#include <QApplication>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct FaultKind {
    const char* name;
    SimFault fault;
    std::uint32_t code;  // what the link reports; 0: the exchange succeeds all the same
    bool controllerActs; // the request was carried out before its reply went wrong
};

const FaultKind kFaultKinds[] = {
    {"status", SimFault::Status, 0, false}, // code: the status drawn
    {"no-reply", SimFault::NoReply, 2, false},        {"bad-crc", SimFault::BadChecksum, 1, true},
    {"wrong-seq", SimFault::WrongSequence, 2, true},  {"wrong-code", SimFault::WrongMessageCode, 2, true},
    {"truncated", SimFault::TruncatedReply, 2, true}, {"garbage", SimFault::GarbageBeforeFrame, 0, true},
    {"oversized", SimFault::OversizedReply, 8, true},
};

// Controller statuses drawn for status faults: every code with a text, the silent 18, and unknown ones.
const std::uint32_t kStatuses[] = {1,  2,  3,  6,  7,  8,  9,  10, 11, 14, 15, 16, 17,  18,  19, 20, 21,
                                   22, 23, 25, 26, 30, 31, 32, 33, 34, 35, 36, 37, 212, 213, 4,  40, 255};

struct Injected {
    const FaultKind* kind = nullptr;
    std::uint32_t code = 0;
};

std::string Hex(const std::optional<ByteString>& block) {
    if (!block)
        return "(none)";
    std::string text;
    char byte[4];
    for (std::uint8_t b : *block) {
        std::snprintf(byte, sizeof byte, "%02X ", b);
        text += byte;
    }
    return text;
}

class Soak {
public:
    Soak(const SoakOptions& options, std::uint32_t seed) : m_options(options), m_random(seed) {
        m_sim.PreloadDefaults();
        for (int type = NetworkEthernet; type <= NetworkProfibus; ++type)
            m_expectedStore[type - 1] = m_sim.StoredBlock(type);
        m_sim.Start();
        ::setenv("TALVOR_COM1", m_sim.DevicePath().c_str(), 1);
        theApp.m_nComPort = 0;
        SetMessageBoxHook([this](const MessageBoxRecord& box) {
            m_boxes.push_back(box.text);
            return mb::RESULT_OK;
        });
    }

    ~Soak() {
        SetMessageBoxHook(nullptr);
        theApp.m_SerialComm.CloseComPort();
    }

    void Run() {
        const Clock::time_point start = Clock::now();
        const auto deadline = start + std::chrono::seconds(m_options.seconds);
        // The first pairs warm up Qt's and the allocator's pools; memory is measured from there on.
        const long warmUp = std::min<long>(100, m_options.pairs / 10);
        for (m_pairs = 0; m_pairs < m_options.pairs && Clock::now() < deadline; ++m_pairs) {
            if (m_pairs == warmUp)
                m_memoryStart = ReadMemoryStatus();
            RunPair();
        }
        m_memoryEnd = ReadMemoryStatus();
        m_elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        for (int type = NetworkEthernet; type <= NetworkProfibus; ++type)
            CheckStore(type);
        CheckMemory();
    }

    int Report(std::uint32_t seed) const {
        std::printf("soak: seed %u, %ld pairs, %ld requests in %.1f s, fault rate %.2f\n", seed, m_pairs,
                    m_requests, m_elapsed, m_options.faultRate);
        std::printf("faults injected: %ld:", m_faults);
        for (const auto& [name, count] : m_faultsByKind)
            std::printf(" %s %ld", name.c_str(), count);
        std::printf("\nfailures by link result code: %ld:", m_failures);
        for (const auto& [code, count] : m_failuresByCode)
            std::printf(" %u:%ld", code, count);
        std::printf("\nwrites carried out %ld, reads checked %ld\n", m_writesDone, m_readsChecked);
        std::printf("memory KiB: VmRSS %lld -> %lld, VmHWM %lld -> %lld\n", (long long)m_memoryStart.rssKiB,
                    (long long)m_memoryEnd.rssKiB, (long long)m_memoryStart.peakKiB,
                    (long long)m_memoryEnd.peakKiB);
        for (std::size_t i = 0; i < m_violations.size() && i < 20; ++i)
            std::printf("VIOLATION: %s\n", m_violations[i].c_str());
        std::printf("%zu violations\n", m_violations.size());
        return m_violations.empty() ? 0 : 1;
    }

private:
    void RunPair() {
        const auto type = static_cast<NetworkType>(Pick(NetworkEthernet, NetworkProfibus));
        if (!Request(MSGCODE_STATUS_ID, type, [] { return theApp.ReadStatusId(); }))
            return;
        if (Pick(0, 9) < 6) {
            const ByteString block = Pick(0, 19) == 0 ? EmptyAttributeBlock() : RandomBlock(type);
            Write(type, block);
        } else {
            Read(type);
        }
    }

    void Write(NetworkType type, const ByteString& block) {
        const Injected fault = InjectMaybe(MSGCODE_WRITE_NET_ATTR);
        Request(
            MSGCODE_WRITE_NET_ATTR, type, [&] { return theApp.WriteNetAttributes(block, type); }, fault);
        if (!fault.kind || fault.kind->controllerActs) {
            ++m_writesDone;
            m_expectedStore[type - 1] =
                block == EmptyAttributeBlock() ? std::nullopt : std::optional<ByteString>(block);
        }
        CheckStore(type);
    }

    void Read(NetworkType type) {
        ByteString block{0xEE};
        const Injected fault = InjectMaybe(MSGCODE_READ_NET_ATTR);
        const bool ok = Request(
            MSGCODE_READ_NET_ATTR, type, [&] { return theApp.ReadNetAttributes(block, type); }, fault);
        const ByteString expected =
            ok ? m_expectedStore[type - 1].value_or(EmptyAttributeBlock()) : ByteString{0xEE};
        if (block != expected)
            Violation("read of type " + std::to_string(type) + " gave " + Hex(block) + ", expected " +
                      Hex(expected));
        ++m_readsChecked;
    }

    template <class Call> bool Request(std::uint8_t msgCode, NetworkType type, Call call) {
        return Request(msgCode, type, call, InjectMaybe(msgCode));
    }

    // One request with `fault` already injected: checks the outcome, the box and that it reached the
    // controller (which consumed the fault).
    template <class Call> bool Request(std::uint8_t msgCode, NetworkType type, Call call, Injected fault) {
        m_boxes.clear();
        m_sim.ClearRequests();
        ++m_requests;
        const bool ok = call();
        const std::string what = "request " + std::to_string(msgCode) + " type " + std::to_string(type) +
                                 (fault.kind ? std::string(" with ") + fault.kind->name : std::string());
        if (m_sim.Requests().size() != 1)
            Violation(what + ": the controller received " + std::to_string(m_sim.Requests().size()) +
                      " requests");
        if (ok != (fault.code == 0))
            Violation(what + (ok ? ": reported success" : ": reported failure"));
        if (!ok) {
            ++m_failures;
            ++m_failuresByCode[fault.code];
        }
        const std::vector<QString> expected = ok ? std::vector<QString>{} : ExpectedBoxes(fault.code);
        if (m_boxes != expected)
            Violation(what + ": " + std::to_string(m_boxes.size()) + " boxes, first \"" +
                      (m_boxes.empty() ? std::string() : m_boxes[0].toStdString()) +
                      "\", expected the text of code " + std::to_string(fault.code));
        return ok;
    }

    // The single box that reports `code`; none for a silent code. Controller statuses leave no system
    // error behind, so unknown codes get the unknown-error text.
    static std::vector<QString> ExpectedBoxes(std::uint32_t code) {
        if (IsSilentLinkResult(code))
            return {};
        return {LoadResourceString(LinkMessageStringId(code).value_or(IDS_UNKNOWN_LINK_ERROR))};
    }

    Injected InjectMaybe(std::uint8_t msgCode) {
        if (std::uniform_real_distribution<double>(0, 1)(m_random) >= m_options.faultRate)
            return {};
        const FaultKind& kind = kFaultKinds[Pick(0, int(std::size(kFaultKinds)) - 1)];
        const std::uint32_t status =
            kind.fault == SimFault::Status ? kStatuses[Pick(0, int(std::size(kStatuses)) - 1)] : 0;
        m_sim.InjectFault(kind.fault, 1, status, msgCode);
        ++m_faults;
        ++m_faultsByKind[kind.name];
        return {&kind, kind.fault == SimFault::Status ? status : kind.code};
    }

    ByteString RandomBlock(NetworkType type) {
        CNetAttributes record(type);
        record.m_nTimeout = Pick(0, 255);
        record.m_nPollTime = Pick(0, 255);
        record.m_nInputWords = Pick(0, 127);
        record.m_nOutputWords = Pick(0, 127);
        record.m_nNodeAddress = Pick(0, 125);
        record.m_byBaudRate = static_cast<std::uint8_t>(Pick(0, 2));
        for (std::uint8_t* address : {record.m_byIpAddress, record.m_bySubnetMask, record.m_byGateway})
            for (int i = 0; i < 4; ++i)
                address[i] = static_cast<std::uint8_t>(Pick(0, 255));
        return record.BuildBlock();
    }

    void CheckStore(int type) {
        const std::optional<ByteString> stored = m_sim.StoredBlock(type);
        if (stored != m_expectedStore[type - 1])
            Violation("store of type " + std::to_string(type) + " holds " + Hex(stored) + ", expected " +
                      Hex(m_expectedStore[type - 1]));
    }

    // Flat: what the warmed-up process holds may not grow by more than a few pages per thousand pairs.
    void CheckMemory() {
        if (m_memoryStart.rssKiB < 0 || m_memoryEnd.rssKiB < 0)
            return;
        const std::int64_t allowedKiB = 1024 + m_pairs / 1000 * 256;
        if (m_memoryEnd.rssKiB - m_memoryStart.rssKiB > allowedKiB)
            Violation("resident memory grew by " + std::to_string(m_memoryEnd.rssKiB - m_memoryStart.rssKiB) +
                      " KiB");
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    void Violation(std::string text) {
        std::fprintf(stderr, "pair %ld: %s\n", m_pairs, text.c_str());
        m_violations.push_back(std::move(text));
    }

    SoakOptions m_options;
    std::mt19937 m_random;
    ControllerSimulator m_sim;
    std::array<std::optional<ByteString>, 3> m_expectedStore;
    std::vector<QString> m_boxes;
    std::vector<std::string> m_violations;

    long m_pairs = 0;
    long m_requests = 0;
    long m_faults = 0;
    long m_failures = 0;
    long m_writesDone = 0;
    long m_readsChecked = 0;
    std::map<std::string, long> m_faultsByKind;
    std::map<std::uint32_t, long> m_failuresByCode;
    MemoryStatus m_memoryStart;
    MemoryStatus m_memoryEnd;
    double m_elapsed = 0;
};

} // namespace

int main(int argc, char** argv) {
    const std::optional<SoakOptions> options = ParseSoakOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: %s [--pairs=N] [--seconds=N] [--fault-rate=0..1] [--seed=N]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    theApp.m_pMessageSink = &MessageBoxSink();
    const std::uint32_t seed = options->seed != 0 ? options->seed : std::random_device{}() | 1u;
    std::printf("soak: seed %u (repeat with --seed=%u)\n", seed, seed);
    std::fflush(stdout);
    Soak soak(*options, seed);
    soak.Run();
    return soak.Report(seed);
}
