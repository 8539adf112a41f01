#pragma once

#include "seriallink/frame/CommParam.h"
#include "seriallink/frame/LinkCodes.h"
#include "seriallink/link/LineSource.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class CByteChannel;
class CLinkTrace;
class ReplyMatcher;
struct Frame;

// One request/response exchange with the controller over a serial port. The caller writes the settings
// below, opens with InitializeCommMode(), runs one exchange and closes; an exchange that fails, or is
// refused before anything is sent, closes the port itself, so that nothing holds it while the caller
// reports the failure. The frame protocol is
// described in docs/link-protocol.md.
class CSerialComm {
public:
    CSerialComm();
    virtual ~CSerialComm();
    CSerialComm(const CSerialComm&) = delete;
    CSerialComm& operator=(const CSerialComm&) = delete;

    LinkResult InitializeCommMode();
    LinkResult ProccessMsgCode_NoThread(unsigned char msgCode, bool request, unsigned char* payload,
                                        std::uint32_t payloadLength, unsigned char* reply,
                                        std::uint32_t replyCapacity, std::uint32_t* replyCount);
    LinkResult CloseComPort();

    // Class-wide, and set by every open: atomic, so that links opened on several threads at once do not
    // race on it.
    static std::atomic<int> m_nCommMedium;

    int m_nSerialPort = 0;
    std::uint16_t m_wCommParam = 0;
    int m_nExchangeState = 0;
    int m_bPLCTarget = 0;
    std::uint8_t m_byNetworkType = 0;
    // When not empty, the device opened instead of the one behind m_nSerialPort.
    std::string m_strDeviceName;
    // When set, shown every open and frame.
    CLinkTrace* m_pTrace = nullptr;
    // The line the next open takes and the clock the exchanges wait by; must outlive the open port.
    CLineSource* m_pLineSource = &CLineSource::SerialPorts();
    bool IsOpen() const { return m_pPort != nullptr; }

    // A job may hold the port open between its requests: a request then uses the open port, and a
    // success leaves it open. With `keepOpenWhenSilent` an exchange that heard nothing at all leaves it
    // open too; every other failure closes it, and the next request opens it again. Release ends the
    // hold and closes the port.
    void Hold(bool keepOpenWhenSilent);
    void Release();
    bool IsHeld() const { return m_hold != HoldKind::None; }
    bool IsHeldOpen() const { return IsHeld() && IsOpen(); }
    // Whether the port stays open after an exchange that ended with `result`: the one place the hold
    // decides.
    bool KeepsOpenAfter(LinkResult result) const;

private:
    using TimePoint = CLineSource::TimePoint;
    TimePoint Now() const { return m_pLineSource->Now(); }
    LinkResult CheckCall(const unsigned char* payload, std::uint32_t payloadLength,
                         const unsigned char* reply, std::uint32_t replyCapacity) const;
    LinkResult Exchange(unsigned char msgCode, bool request, unsigned char* payload,
                        std::uint32_t payloadLength, unsigned char* reply, std::uint32_t replyCapacity,
                        std::uint32_t* replyCount);
    LinkResult ReceiveReply(ReplyMatcher& matcher, TimePoint firstByteDeadline, TimePoint deadline,
                            Frame& reply);
    // How long `bytes` take on the line at the open port's settings, in whole milliseconds rounded up or
    // to the microsecond.
    std::chrono::milliseconds WireTime(std::size_t bytes) const;
    std::chrono::microseconds ExactWireTime(std::size_t bytes) const;

    enum class HoldKind { None, Open, OpenWhenSilent };

    std::unique_ptr<CByteChannel> m_pPort;
    HoldKind m_hold = HoldKind::None;
    LineSettings m_line{};         // of the open port
    std::uint8_t m_bySequence = 0; // numbers the exchanges; the reply must echo it
};
