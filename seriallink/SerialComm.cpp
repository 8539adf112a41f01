#include "seriallink/SerialComm.h"

#include "platform/LastError.h"
#include "seriallink/CommParam.h"
#include "seriallink/Frame.h"
#include "seriallink/FrameDecoder.h"
#include "seriallink/LinkCodes.h"
#include "seriallink/PortName.h"

#include <QSerialPort>

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// The controller starts answering well within a second; once it has started, bytes follow each
// other closely, so a short gap means the reply was cut off.
constexpr int FirstByteTimeoutMs = 1000;
constexpr int InterByteTimeoutMs = 100;
constexpr int WriteTimeoutMs = 1000;

constexpr int SerialMedium = 0;

// Qt reports failed system calls through its own error enum; errno still holds the cause. When it
// does not, fall back to the errno that matches the condition.
std::uint32_t CapturedErrno(int fallback) {
    return static_cast<std::uint32_t>(errno != 0 ? errno : fallback);
}

// The device went away (unplugged adapter, peer of a pty gone) rather than refusing one transfer.
bool IsDeviceLoss(QSerialPort::SerialPortError error, std::uint32_t cause) {
    return error == QSerialPort::ResourceError || error == QSerialPort::DeviceNotFoundError || cause == EIO ||
           cause == ENXIO || cause == ENODEV;
}

bool DeviceUsable(const std::string& device) {
#ifdef _WIN32
    (void)device;
    return true;
#else
    return ::access(device.c_str(), R_OK | W_OK) == 0;
#endif
}

} // namespace

int CSerialComm::m_nCommMedium = 0;

CSerialComm::CSerialComm() = default;

CSerialComm::~CSerialComm() {
    CloseComPort();
}

LinkResult CSerialComm::InitializeCommMode() {
    SetLastError(0);
    // A failed exchange leaves the port open; the caller simply opens again.
    CloseComPort();

    if (m_nCommMedium != SerialMedium)
        return linkcode::InvalidArgument;
    const std::optional<LineSettings> line = DecodeCommParam(m_wCommParam);
    if (!line)
        return linkcode::InvalidArgument;
    if (m_nSerialPort < FirstComPort || m_nSerialPort > LastComPort) {
        SetLastError(ENODEV);
        return linkcode::CannotOpen;
    }
    return OpenPort(ComPortDevice(m_nSerialPort), line->baudRate);
}

LinkResult CSerialComm::OpenPort(const std::string& device, std::int32_t baudRate) {
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(QString::fromStdString(device));
    port->setBaudRate(baudRate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);

    errno = 0;
    if (!port->open(QIODevice::ReadWrite)) {
        const std::uint32_t cause = CapturedErrno(ENODEV);
        std::error_code ignored;
        const bool exists = std::filesystem::exists(device, ignored);
        // The port library reports a device locked by another opener as a permission error.
        if (exists && port->error() == QSerialPort::PermissionError && DeviceUsable(device)) {
            SetLastError(EBUSY);
            return linkcode::PortInUse;
        }
        SetLastError(exists ? cause : ENOENT);
        return linkcode::CannotOpen;
    }
    m_pPort = std::move(port);
    DiscardInput();
    return linkcode::Success;
}

void CSerialComm::DiscardInput() {
    // Bytes still queued from an earlier, failed exchange must not be taken for this reply.
    m_pPort->clear(QSerialPort::Input);
    m_pPort->readAll();
    m_pPort->clearError();
}

LinkResult CSerialComm::ProccessMsgCode_NoThread(unsigned char msgCode, bool request, unsigned char* payload,
                                                 std::uint32_t payloadLength, unsigned char* reply,
                                                 std::uint32_t replyCapacity, std::uint32_t* replyCount) {
    SetLastError(0);
    if (!m_pPort || !m_pPort->isOpen())
        return linkcode::NotInitialized;
    if ((payload == nullptr && payloadLength != 0) || (reply == nullptr && replyCapacity != 0))
        return linkcode::InvalidArgument;
    if (payloadLength > frame::MaxRequestPayload)
        return linkcode::MessageLength;

    const std::uint8_t flags = static_cast<std::uint8_t>((request ? frame::FlagRequest : 0) |
                                                         (m_bPLCTarget != 0 ? frame::FlagPlcTarget : 0));
    const std::uint8_t sequence = ++m_bySequence;
    DiscardInput();
    const LinkResult sent = Transmit(EncodeRequest(msgCode, flags, m_byNetworkType, sequence,
                                                   std::span<const std::uint8_t>(payload, payloadLength)));
    if (sent != linkcode::Success)
        return sent;

    Frame answer;
    const LinkResult received = ReceiveReply(reply != nullptr ? replyCapacity : 0, answer);
    if (received != linkcode::Success)
        return received;
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

LinkResult CSerialComm::Transmit(const std::vector<std::uint8_t>& bytes) {
    errno = 0;
    bool sent = m_pPort->write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) ==
                qint64(bytes.size());
    while (sent && m_pPort->bytesToWrite() > 0)
        sent = m_pPort->waitForBytesWritten(WriteTimeoutMs);
    if (sent)
        return linkcode::Success;
    const std::uint32_t cause = CapturedErrno(EIO);
    SetLastError(cause);
    return IsDeviceLoss(m_pPort->error(), cause) ? linkcode::DeviceLost : linkcode::Transmit;
}

LinkResult CSerialComm::ReceiveReply(std::uint32_t capacity, Frame& reply) {
    FrameDecoder decoder(frame::ReplyStart, capacity);
    // A damaged frame may only be noise that happened to hold a start byte: keep looking for the real
    // reply, and report the damage only when none follows before the line goes quiet.
    LinkResult damage = linkcode::Success;
    int timeoutMs = FirstByteTimeoutMs;
    for (;;) {
        errno = 0;
        if (m_pPort->bytesAvailable() == 0 && !m_pPort->waitForReadyRead(timeoutMs)) {
            if (m_pPort->error() == QSerialPort::TimeoutError || m_pPort->error() == QSerialPort::NoError)
                return damage != linkcode::Success ? damage : linkcode::TimeOut;
            SetLastError(CapturedErrno(EIO));
            return linkcode::DeviceLost;
        }
        const QByteArray chunk = m_pPort->readAll();
        for (FrameDecoder::Result& found : decoder.Feed(std::span(
                 reinterpret_cast<const std::uint8_t*>(chunk.constData()), std::size_t(chunk.size())))) {
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
    if (m_pPort) {
        m_pPort->close();
        m_pPort.reset();
    }
    return linkcode::Success;
}
