#include "seriallink/frame/Frame.h"

#include "seriallink/frame/Crc16.h"

std::vector<std::uint8_t> EncodeFrame(FrameHeader header, std::span<const std::uint8_t> payload) {
    const auto length = static_cast<std::uint32_t>(payload.size());
    std::vector<std::uint8_t> bytes(frame::HeaderSize);
    bytes[0] = header.start;
    bytes[1] = header.msgCode;
    bytes[2] = header.control;
    bytes[3] = header.networkType;
    bytes[4] = header.sequence;
    for (int i = 0; i < 4; ++i)
        bytes[5 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    bytes.reserve(frame::Overhead + payload.size());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    const std::uint16_t crc = Crc16(bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    bytes.push_back(static_cast<std::uint8_t>(crc));
    return bytes;
}

std::vector<std::uint8_t> EncodeRequest(std::uint8_t msgCode, std::uint8_t flags, std::uint8_t networkType,
                                        std::uint8_t sequence, std::span<const std::uint8_t> payload) {
    return EncodeFrame({frame::RequestStart, msgCode, flags, networkType, sequence, 0}, payload);
}

std::vector<std::uint8_t> EncodeReply(std::uint8_t msgCode, std::uint8_t status, std::uint8_t networkType,
                                      std::uint8_t sequence, std::span<const std::uint8_t> payload) {
    return EncodeFrame({frame::ReplyStart, msgCode, status, networkType, sequence, 0}, payload);
}

FrameHeader DecodeHeader(std::span<const std::uint8_t, frame::HeaderSize> bytes) {
    FrameHeader header;
    header.start = bytes[0];
    header.msgCode = bytes[1];
    header.control = bytes[2];
    header.networkType = bytes[3];
    header.sequence = bytes[4];
    header.payloadLength = (std::uint32_t{bytes[5]} << 24) | (std::uint32_t{bytes[6]} << 16) |
                           (std::uint32_t{bytes[7]} << 8) | std::uint32_t{bytes[8]};
    return header;
}
