#include "seriallink/channel/ByteChannel.h"
#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/Frame.h"
#include "seriallink/frame/MessageCodes.h"
#include "seriallink/link/SerialComm.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

// The link's own handling of whatever comes back for a request, past the decoder: the result code, the
// message code, sequence and status checks and the copy into the caller's buffer. The reply buffer is
// never written past its capacity, nor touched at all on failure, and only known codes come back.
// Input: request selector, chunking seed, then the bytes on the line (the link's first exchange, so a
// reply that should match carries sequence number 1).
namespace {

constexpr std::uint8_t kCanary = 0xEE;
constexpr std::size_t kSlack = 16;

struct Request {
    std::uint8_t msgCode;
    bool request;
    std::uint32_t payloadLength;
    std::uint32_t capacity;
};

// The utility's three requests with their reply buffers, and small buffers the caller could give.
constexpr std::array<Request, 5> kRequests = {{
    {MSGCODE_STATUS_ID, false, 0, StatusIdReplyCapacity},
    {MSGCODE_READ_NET_ATTR, true, 0, ReadNetAttrReplyCapacity},
    {MSGCODE_WRITE_NET_ATTR, true, 12, 0},
    {MSGCODE_READ_NET_ATTR, true, 0, 12},
    {MSGCODE_STATUS_ID, false, 0, 3},
}};
constexpr std::uint8_t kNetworkType = 2;

// The reply buffer, made once: a buffer of the read's size made and checked byte by byte on every run
// would cost more than the exchange itself.
std::vector<std::uint8_t>& ReplyBuffer() {
    static std::vector<std::uint8_t> buffer(ReadNetAttrReplyCapacity + kSlack);
    return buffer;
}

// Every byte of `bytes` is the canary.
bool Untouched(std::span<const std::uint8_t> bytes) {
    static const std::vector<std::uint8_t> canaries(ReadNetAttrReplyCapacity + kSlack, kCanary);
    return std::memcmp(bytes.data(), canaries.data(), bytes.size()) == 0;
}

// Plays the line: takes the request, then hands out the script in reads of 1 to 64 bytes; silence
// (a read's whole wait, on the link's clock) once it is used up. A wait for bytes on their way passes on
// the link's clock too.
class ScriptedLine : public CByteChannel {
public:
    ScriptedLine(std::span<const std::uint8_t> script, std::uint32_t seed,
                 std::chrono::steady_clock::time_point& now, std::vector<std::uint8_t>& written)
        : m_script(script), m_seed(seed | 1u), m_now(now), m_written(written) {}

    void DiscardInput() override {}

    LinkResult Write(std::span<const std::uint8_t> bytes, int) override {
        m_written.assign(bytes.begin(), bytes.end());
        return linkcode::Success;
    }

    void AwaitBytes(std::chrono::microseconds wire) override { m_now += wire; }

    LinkResult Read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& count) override {
        if (m_script.empty())
            m_now += std::chrono::milliseconds(timeoutMs);
        m_seed ^= m_seed << 13;
        m_seed ^= m_seed >> 17;
        m_seed ^= m_seed << 5;
        count = std::min({buffer.size(), m_script.size(), std::size_t{1 + m_seed % 64}});
        std::copy_n(m_script.begin(), count, buffer.begin());
        m_script = m_script.subspan(count);
        return linkcode::Success;
    }

private:
    std::span<const std::uint8_t> m_script;
    std::uint32_t m_seed;
    std::chrono::steady_clock::time_point& m_now;
    std::vector<std::uint8_t>& m_written;
};

class ScriptedLink : public CSerialComm, private CLineSource {
public:
    // Named, so that opening it never looks at the machine's own ports.
    ScriptedLink(std::span<const std::uint8_t> script, std::uint32_t seed) : m_script(script), m_seed(seed) {
        m_pLineSource = this;
        m_strDeviceName = "scripted line";
    }
    // Kept by the link: a failed exchange closes the line.
    std::vector<std::uint8_t> written;
    bool opened = false;

private:
    LinkResult Open(const std::string&, std::int32_t, std::unique_ptr<CByteChannel>& channel,
                    const PortNoteSink&) override {
        channel = std::make_unique<ScriptedLine>(m_script, m_seed, m_now, written);
        opened = true;
        return linkcode::Success;
    }

    CLineSource::TimePoint Now() const override { return m_now; }

    std::span<const std::uint8_t> m_script;
    std::uint32_t m_seed;
    CLineSource::TimePoint m_now{};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const Request& r = kRequests[input.Take() % kRequests.size()];
    const std::uint32_t seed = input.Take();
    ScriptedLink link(input.Rest(), seed);
    // Named, so that no run pays for looking up which device a port number reaches.
    link.m_strDeviceName = "scripted";
    link.m_wCommParam = COMM_PARAM_DEFAULT;
    link.m_bPLCTarget = 1;
    link.m_byNetworkType = kNetworkType;
    if (link.InitializeCommMode() != linkcode::Success || !link.opened)
        std::abort();

    std::vector<std::uint8_t> payload(r.payloadLength, 0x5A);
    const std::span<std::uint8_t> reply(ReplyBuffer().data(), r.capacity + kSlack);
    std::memset(reply.data(), kCanary, reply.size());
    constexpr std::uint32_t kUntouched = 0xDEADBEEF;
    std::uint32_t count = kUntouched;
    const LinkResult result =
        link.ProccessMsgCode_NoThread(r.msgCode, r.request, payload.data(), r.payloadLength,
                                      r.capacity != 0 ? reply.data() : nullptr, r.capacity, &count);

    const std::uint8_t flags = frame::FlagPlcTarget | (r.request ? frame::FlagRequest : 0);
    const auto expected = EncodeRequest(r.msgCode, flags, kNetworkType, 1, payload);
    // A controller status passes through as the byte it is; the link's own codes are below 256 too.
    if (link.written != expected || result > 255)
        std::abort();
    if (result == linkcode::Success ? count > r.capacity : count != kUntouched)
        std::abort();
    const std::size_t written = result == linkcode::Success ? count : 0;
    if (!Untouched(reply.subspan(written)))
        std::abort();
    return 0;
}
