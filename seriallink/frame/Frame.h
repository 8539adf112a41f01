#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Frame layout shared by requests (utility -> controller) and replies (controller -> utility):
//   start byte, message code, control, network type, sequence number, 32-bit big-endian payload
//   length, payload, CRC-16 (big-endian) over everything before it, start byte included.
// The control byte holds the request flags in a request and the controller status in a reply.
namespace frame {

inline constexpr std::uint8_t RequestStart = 0xA5;
inline constexpr std::uint8_t ReplyStart = 0x5A;
inline constexpr std::size_t HeaderSize = 9;
inline constexpr std::size_t CrcSize = 2;
inline constexpr std::size_t Overhead = HeaderSize + CrcSize;

// The controller accepts request payloads up to this length.
inline constexpr std::uint32_t MaxRequestPayload = 65535;

inline constexpr std::uint8_t FlagRequest = 0x01;
inline constexpr std::uint8_t FlagPlcTarget = 0x02;

inline constexpr std::uint8_t StatusOk = 0;

} // namespace frame

struct FrameHeader {
    std::uint8_t start = 0;
    std::uint8_t msgCode = 0;
    std::uint8_t control = 0;
    std::uint8_t networkType = 0;
    std::uint8_t sequence = 0;
    std::uint32_t payloadLength = 0;
};

struct Frame {
    FrameHeader header;
    std::vector<std::uint8_t> payload;
};

// Whole frame bytes; the header's payloadLength is taken from the payload.
std::vector<std::uint8_t> EncodeFrame(FrameHeader header, std::span<const std::uint8_t> payload);

std::vector<std::uint8_t> EncodeRequest(std::uint8_t msgCode, std::uint8_t flags, std::uint8_t networkType,
                                        std::uint8_t sequence, std::span<const std::uint8_t> payload);

std::vector<std::uint8_t> EncodeReply(std::uint8_t msgCode, std::uint8_t status, std::uint8_t networkType,
                                      std::uint8_t sequence, std::span<const std::uint8_t> payload);

// Reads the header fields of the first HeaderSize bytes; the start byte is not checked.
FrameHeader DecodeHeader(std::span<const std::uint8_t, frame::HeaderSize> bytes);
