#include "seriallink/ByteChannel.h"
#include "seriallink/Frame.h"
#include "seriallink/SerialComm.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
    {18, false, 0, 65535},
    {43, true, 0, 100000},
    {42, true, 12, 0},
    {43, true, 0, 12},
    {18, false, 0, 3},
}};

// Plays the line: takes the request, then hands out the script in reads of 1 to 64 bytes; silence
// (a read's whole wait, on the link's clock) once it is used up.
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

class ScriptedLink : public CSerialComm {
public:
    // Named, so that opening it never looks at the machine's own ports.
    ScriptedLink(std::span<const std::uint8_t> script, std::uint32_t seed) : m_script(script), m_seed(seed) {
        m_strDeviceName = "scripted line";
    }
    // Kept by the link: a failed exchange closes the line.
    std::vector<std::uint8_t> written;
    bool opened = false;

protected:
    LinkResult OpenChannel(const std::string&, std::int32_t,
                           std::unique_ptr<CByteChannel>& channel) override {
        channel = std::make_unique<ScriptedLine>(m_script, m_seed, m_now, written);
        opened = true;
        return linkcode::Success;
    }

    TimePoint Now() const override { return m_now; }

private:
    std::span<const std::uint8_t> m_script;
    std::uint32_t m_seed;
    TimePoint m_now{};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const Request& r = kRequests[input.Take() % kRequests.size()];
    const std::uint32_t seed = input.Take();
    ScriptedLink link(input.Rest(), seed);
    link.m_nSerialPort = 1;
    link.m_wCommParam = 0x1001;
    link.m_bPLCTarget = 1;
    link.m_byNetworkType = 2;
    if (link.InitializeCommMode() != linkcode::Success || !link.opened)
        std::abort();

    std::vector<std::uint8_t> payload(r.payloadLength, 0x5A);
    std::vector<std::uint8_t> reply(r.capacity + kSlack, kCanary);
    constexpr std::uint32_t kUntouched = 0xDEADBEEF;
    std::uint32_t count = kUntouched;
    const LinkResult result =
        link.ProccessMsgCode_NoThread(r.msgCode, r.request, payload.data(), r.payloadLength,
                                      r.capacity != 0 ? reply.data() : nullptr, r.capacity, &count);

    const auto expected = EncodeRequest(r.msgCode, r.request ? 0x03 : 0x02, 2, 1, payload);
    // A controller status passes through as the byte it is; the link's own codes are below 256 too.
    if (link.written != expected || result > 255)
        std::abort();
    if (result == linkcode::Success ? count > r.capacity : count != kUntouched)
        std::abort();
    const std::size_t written = result == linkcode::Success ? count : 0;
    if (!std::all_of(reply.begin() + std::ptrdiff_t(written), reply.end(),
                     [](std::uint8_t b) { return b == kCanary; }))
        std::abort();
    return 0;
}
