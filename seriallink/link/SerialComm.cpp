#include "seriallink/link/SerialComm.h"

#include "platform/LastError.h"
#include "seriallink/channel/OpenChannel.h"
#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/Frame.h"
#include "seriallink/frame/FrameDecoder.h"
#include "seriallink/frame/LinkCodes.h"
#include "seriallink/link/LinkTrace.h"
#include "seriallink/link/ReplyMatcher.h"
#include "seriallink/serial/PortName.h"
#include "seriallink/serial/SerialPort.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The controller starts answering well within a second of receiving the request; once a reply frame
// has begun, its bytes follow each other closely, so a short gap inside it means it was cut off. Until a
// reply begins, whatever else the line carries (an echo of the request, a glitch, a reply to an earlier
// request) does not shorten the wait for it.
constexpr std::chrono::milliseconds FirstByteTimeout{1000};
constexpr std::chrono::milliseconds InterByteTimeout{100};
// A driver may hold a write until its bytes have left, and a long request at a low rate takes seconds
// on the line: the write gets the request's own time on the line on top of this.
constexpr std::chrono::milliseconds WriteTimeout{1000};
// A peer that never stops talking (noise, a trickle, headers announcing huge payloads) must not hold
// the caller: the whole exchange, request and reply, ends within this time, again on top of the
// request's own time on the line, whatever arrives.
constexpr std::chrono::milliseconds ExchangeLimit{2500};

constexpr int SerialMedium = 0;

} // namespace

std::atomic<int> CSerialComm::m_nCommMedium = 0;

CSerialComm::CSerialComm() = default;

CSerialComm::~CSerialComm() {
    CloseComPort();
}

LinkResult CSerialComm::InitializeCommMode() {
    SetLastSystemError(0);
    // Opening twice without a close in between must not leave the first port open.
    CloseComPort();

    if (m_nCommMedium != SerialMedium)
        return linkcode::InvalidArgument;
    const std::optional<LineSettings> line = DecodeCommParam(m_wCommParam);
    if (!line)
        return linkcode::InvalidArgument;
    std::string device = m_strDeviceName;
    if (device.empty()) {
        const ComPortMapping mapping = ResolveComPort(m_nSerialPort);
        // The port number is out of range, fewer ports are present than it counts, or they could not
        // all be listed.
        if (mapping.device.empty()) {
            SetLastSystemError(mapping.listError ? static_cast<std::uint32_t>(mapping.listError.value())
                                                 : NoSuchPortError());
            return linkcode::CannotOpen;
        }
        device = mapping.device;
    }
    m_line = *line;
    const LinkResult opened =
        m_pLineSource->Open(device, line->baudRate, m_pPort, [this](const std::string& note) {
            if (m_pTrace)
                m_pTrace->PortNote(note);
        });
    if (m_pTrace)
        m_pTrace->PortOpened(device, opened);
    return opened;
}

CLineSource& CLineSource::SerialPorts() {
    class SerialPorts final : public CLineSource {
    public:
        LinkResult Open(const std::string& device, std::int32_t baudRate,
                        std::unique_ptr<CByteChannel>& channel, const PortNoteSink& notes) override {
            return OpenChannel(device, baudRate, channel, notes);
        }
        TimePoint Now() const override { return std::chrono::steady_clock::now(); }
    };
    static SerialPorts ports;
    return ports;
}

LinkResult CSerialComm::ProccessMsgCode_NoThread(unsigned char msgCode, bool request, unsigned char* payload,
                                                 std::uint32_t payloadLength, unsigned char* reply,
                                                 std::uint32_t replyCapacity, std::uint32_t* replyCount) {
    SetLastSystemError(0);
    LinkResult result = CheckCall(payload, payloadLength, reply, replyCapacity);
    if (result == linkcode::Success)
        result = Exchange(msgCode, request, payload, payloadLength, reply, replyCapacity, replyCount);
    if (result != linkcode::Success) {
        // Released at once, whether or not anything was sent: a terminal program may look at the line
        // while the user reads the failure, and on Windows an adapter pulled out and plugged back can
        // only return once its handle is gone. Silence alone says nothing against the port.
        if (!KeepsOpenAfter(result))
            CloseComPort();
        if (m_pTrace)
            m_pTrace->ExchangeFailed(result);
    }
    return result;
}

// Calls refused before anything is sent.
LinkResult CSerialComm::CheckCall(const unsigned char* payload, std::uint32_t payloadLength,
                                  const unsigned char* reply, std::uint32_t replyCapacity) const {
    if (!m_pPort)
        return linkcode::NotInitialized;
    if ((payload == nullptr && payloadLength != 0) || (reply == nullptr && replyCapacity != 0))
        return linkcode::InvalidArgument;
    if (payloadLength > frame::MaxRequestPayload)
        return linkcode::MessageLength;
    return linkcode::Success;
}

LinkResult CSerialComm::Exchange(unsigned char msgCode, bool request, unsigned char* payload,
                                 std::uint32_t payloadLength, unsigned char* reply,
                                 std::uint32_t replyCapacity, std::uint32_t* replyCount) {
    const std::uint8_t flags = static_cast<std::uint8_t>((request ? frame::FlagRequest : 0) |
                                                         (m_bPLCTarget != 0 ? frame::FlagPlcTarget : 0));
    const std::uint8_t sequence = ++m_bySequence;
    const std::vector<std::uint8_t> requestFrame = EncodeRequest(
        msgCode, flags, m_byNetworkType, sequence, std::span<const std::uint8_t>(payload, payloadLength));
    const std::chrono::milliseconds requestWire = WireTime(requestFrame.size());
    const std::chrono::milliseconds allowance = m_pPort->ReplyAllowance();
    const TimePoint deadline = Now() + requestWire + ExchangeLimit + allowance;
    m_pPort->DiscardInput();
    const LinkResult sent = m_pPort->Write(requestFrame, int((requestWire + WriteTimeout).count()));
    if (sent != linkcode::Success)
        return sent;
    if (m_pTrace)
        m_pTrace->FrameSent(requestFrame);

    ReplyMatcher matcher(requestFrame, reply != nullptr ? replyCapacity : 0, m_pTrace);
    Frame answer;
    // A write returns once the bytes are queued (in the adapter, on USB), not once they are on the line:
    // the controller's time starts after the request's own time on the wire.
    const LinkResult received =
        ReceiveReply(matcher, Now() + requestWire + FirstByteTimeout + allowance, deadline, answer);
    if (received != linkcode::Success)
        return received;
    if (m_pTrace)
        m_pTrace->FrameReceived(EncodeFrame(answer.header, answer.payload));
    if (answer.header.control != frame::StatusOk)
        return answer.header.control;

    if (!answer.payload.empty())
        std::memcpy(reply, answer.payload.data(), answer.payload.size());
    if (replyCount != nullptr)
        *replyCount = static_cast<std::uint32_t>(answer.payload.size());
    return linkcode::Success;
}

// Waits for the reply to begin until the first-byte deadline, then for each next chunk of it up to the
// inter-byte gap; never past the exchange's deadline.
LinkResult CSerialComm::ReceiveReply(ReplyMatcher& matcher, TimePoint firstByteDeadline, TimePoint deadline,
                                     Frame& reply) {
    std::array<std::uint8_t, 512> chunk;
    // A device server sends a reply on in segments, each after gathering the line's bytes for a while.
    const std::chrono::milliseconds gap = InterByteTimeout + m_pPort->ReplyAllowance();
    TimePoint lastArrival = Now();
    for (;;) {
        const TimePoint now = Now();
        if (matcher.InFrame() && now >= lastArrival + gap && now < deadline) {
            if (matcher.LineQuiet(reply))
                return linkcode::Success;
            continue;
        }
        const TimePoint waitEnd =
            std::min(matcher.InFrame() ? lastArrival + gap : firstByteDeadline, deadline);
        if (now >= waitEnd) {
            // Some drivers keep answering reads on a pulled-out adapter, empty: ask whether it is there.
            if (const LinkResult present = m_pPort->CheckDevice(); present != linkcode::Success)
                return present;
            return matcher.Damage() != linkcode::Success ? matcher.Damage() : linkcode::TimeOut;
        }
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(waitEnd - now).count();
        std::size_t count = 0;
        if (const LinkResult read = m_pPort->Read(chunk, static_cast<int>(waitMs), count);
            read != linkcode::Success)
            return read;
        if (count == 0)
            continue;
        lastArrival = Now();
        if (matcher.Feed(std::span(chunk.data(), count), reply))
            return linkcode::Success;
        // The rest comes at the line's rate: wait for it rather than wake for every byte, but not for the
        // last one, which the next read waits for so that it is taken as it lands: a sleep ends late, and
        // its end is reckoned from this read, which came after the bytes it took. A full chunk may have
        // left more behind, and half the byte gap at most leaves a read before silence is judged.
        if (const std::size_t awaited = matcher.Awaited(); count < chunk.size() && awaited > 1) {
            const auto halfGap = std::chrono::duration_cast<std::chrono::microseconds>(
                (std::min(lastArrival + gap, deadline) - lastArrival) / 2);
            m_pPort->AwaitBytes(std::min(ExactWireTime(awaited - 1), halfGap));
        }
    }
}

std::chrono::microseconds CSerialComm::ExactWireTime(std::size_t bytes) const {
    return std::chrono::microseconds(std::int64_t(bytes) * m_line.bitsPerByte * 1000000 / m_line.baudRate);
}

std::chrono::milliseconds CSerialComm::WireTime(std::size_t bytes) const {
    const auto bits = std::int64_t(bytes) * m_line.bitsPerByte;
    return std::chrono::milliseconds((bits * 1000 + m_line.baudRate - 1) / m_line.baudRate);
}

void CSerialComm::Hold(bool keepOpenWhenSilent) {
    m_hold = keepOpenWhenSilent ? HoldKind::OpenWhenSilent : HoldKind::Open;
}

void CSerialComm::Release() {
    m_hold = HoldKind::None;
    CloseComPort();
}

bool CSerialComm::KeepsOpenAfter(LinkResult result) const {
    if (result == linkcode::Success)
        return IsHeld();
    return result == linkcode::TimeOut && m_hold == HoldKind::OpenWhenSilent;
}

LinkResult CSerialComm::CloseComPort() {
    m_pPort.reset();
    return linkcode::Success;
}
