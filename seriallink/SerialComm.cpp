#include "seriallink/SerialComm.h"

#include "platform/LastError.h"
#include "seriallink/CommParam.h"
#include "seriallink/Frame.h"
#include "seriallink/FrameDecoder.h"
#include "seriallink/LinkCodes.h"
#include "seriallink/LinkTrace.h"
#include "seriallink/PortName.h"
#include "seriallink/SerialPort.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

// The controller starts answering well within a second; once it has started, bytes follow each
// other closely, so a short gap means the reply was cut off.
constexpr int FirstByteTimeoutMs = 1000;
constexpr int InterByteTimeoutMs = 100;
constexpr int WriteTimeoutMs = 1000;
// A peer that never stops talking (noise, a trickle, headers announcing huge payloads) must not hold
// the caller: the whole exchange, request and reply, ends within this time whatever arrives.
constexpr std::chrono::milliseconds ExchangeLimit{2500};

constexpr int SerialMedium = 0;

} // namespace

int CSerialComm::m_nCommMedium = 0;

CSerialComm::CSerialComm() = default;

CSerialComm::~CSerialComm() {
    CloseComPort();
}

LinkResult CSerialComm::InitializeCommMode() {
    SetLastSystemError(0);
    // A failed exchange leaves the port open; the caller simply opens again.
    CloseComPort();

    if (m_nCommMedium != SerialMedium)
        return linkcode::InvalidArgument;
    const std::optional<LineSettings> line = DecodeCommParam(m_wCommParam);
    if (!line)
        return linkcode::InvalidArgument;
    const std::string device = m_strDeviceName.empty() ? ComPortDevice(m_nSerialPort) : m_strDeviceName;
    if (device.empty()) {
        // The port number is out of range, or fewer ports are present than it counts.
        SetLastSystemError(NoSuchPortError());
        return linkcode::CannotOpen;
    }
    const LinkResult opened = OpenChannel(device, line->baudRate, m_pPort);
    if (m_pTrace)
        m_pTrace->PortOpened(device, opened);
    return opened;
}

LinkResult CSerialComm::OpenChannel(const std::string& device, std::int32_t baudRate,
                                    std::unique_ptr<CByteChannel>& channel) {
    std::unique_ptr<CSerialPort> port;
    const LinkResult result = CSerialPort::Open(device, baudRate, port);
    channel = std::move(port);
    return result;
}

LinkResult CSerialComm::ProccessMsgCode_NoThread(unsigned char msgCode, bool request, unsigned char* payload,
                                                 std::uint32_t payloadLength, unsigned char* reply,
                                                 std::uint32_t replyCapacity, std::uint32_t* replyCount) {
    SetLastSystemError(0);
    const LinkResult result =
        Exchange(msgCode, request, payload, payloadLength, reply, replyCapacity, replyCount);
    if (m_pTrace && result != linkcode::Success)
        m_pTrace->ExchangeFailed(result);
    return result;
}

LinkResult CSerialComm::Exchange(unsigned char msgCode, bool request, unsigned char* payload,
                                 std::uint32_t payloadLength, unsigned char* reply,
                                 std::uint32_t replyCapacity, std::uint32_t* replyCount) {
    if (!m_pPort)
        return linkcode::NotInitialized;
    if ((payload == nullptr && payloadLength != 0) || (reply == nullptr && replyCapacity != 0))
        return linkcode::InvalidArgument;
    if (payloadLength > frame::MaxRequestPayload)
        return linkcode::MessageLength;

    const std::uint8_t flags = static_cast<std::uint8_t>((request ? frame::FlagRequest : 0) |
                                                         (m_bPLCTarget != 0 ? frame::FlagPlcTarget : 0));
    const Clock::time_point deadline = Clock::now() + ExchangeLimit;
    const std::uint8_t sequence = ++m_bySequence;
    const std::vector<std::uint8_t> requestFrame = EncodeRequest(
        msgCode, flags, m_byNetworkType, sequence, std::span<const std::uint8_t>(payload, payloadLength));
    const LinkResult sent = m_pPort->Write(requestFrame, WriteTimeoutMs);
    if (sent != linkcode::Success)
        return sent;
    if (m_pTrace)
        m_pTrace->FrameSent(requestFrame);

    Frame answer;
    const LinkResult received = ReceiveReply(reply != nullptr ? replyCapacity : 0, deadline, answer);
    if (received != linkcode::Success)
        return received;
    if (m_pTrace)
        m_pTrace->FrameReceived(EncodeFrame(answer.header, answer.payload));
    if (answer.header.msgCode != msgCode)
        return linkcode::MessageCode;
    if (answer.header.sequence != sequence)
        return linkcode::MessageNumber;
    if (answer.header.control != frame::StatusOk)
        return answer.header.control;

    if (!answer.payload.empty())
        std::memcpy(reply, answer.payload.data(), answer.payload.size());
    if (replyCount != nullptr)
        *replyCount = static_cast<std::uint32_t>(answer.payload.size());
    return linkcode::Success;
}

LinkResult CSerialComm::ReceiveReply(std::uint32_t capacity, Clock::time_point deadline, Frame& reply) {
    FrameDecoder decoder(frame::ReplyStart, capacity);
    // A damaged frame may only be noise that happened to hold a start byte: keep looking for the real
    // reply, and report the damage only when none follows before the line goes quiet or time is up.
    LinkResult damage = linkcode::Success;
    int timeoutMs = FirstByteTimeoutMs;
    std::array<std::uint8_t, 512> chunk;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        std::size_t count = 0;
        if (left > 0) {
            const int waitMs = static_cast<int>(std::min<decltype(left)>(timeoutMs, left));
            if (const LinkResult read = m_pPort->Read(chunk, waitMs, count); read != linkcode::Success)
                return read;
        }
        if (count == 0)
            return damage != linkcode::Success ? damage : linkcode::TimeOut;
        for (FrameDecoder::Result& found : decoder.Feed(std::span(chunk.data(), count))) {
            switch (found.event) {
            case FrameDecoder::Event::Garbage:
                continue;
            case FrameDecoder::Event::BadCrc:
                if (damage == linkcode::Success)
                    damage = linkcode::Checksum;
                continue;
            case FrameDecoder::Event::TooLong:
                if (damage == linkcode::Success)
                    damage = linkcode::MessageLength;
                continue;
            case FrameDecoder::Event::Frame:
                reply = {found.header, std::move(found.payload)};
                return linkcode::Success;
            }
        }
        timeoutMs = InterByteTimeoutMs;
    }
}

LinkResult CSerialComm::CloseComPort() {
    m_pPort.reset();
    return linkcode::Success;
}
