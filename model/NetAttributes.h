#pragma once

#include "model/ByteString.h"
#include "model/NetworkType.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// Attributes of one network type. Every record has every field; the type decides which ones mean
// something. The record checks no range: the pages validate, the encoder keeps the low bits.
// The length of a type's attribute block: 19 for Ethernet, 12 for DeviceNet, 13 for Profibus, 0 for
// any other type.
std::size_t AttributeBlockLength(int type);

// What is wrong with the frame of a block meant for `type`, the first fault in this order: the length
// field (bytes 0-1) differs from the block's size, the type byte (byte 2) is not `type`, the block is not
// of the type's length. Values inside the block are not looked at.
enum class BlockFrameFault { LengthField, TypeByte, Size };
std::optional<BlockFrameFault> CheckBlockFrame(const ByteString& block, int type);

class CNetAttributes {
public:
    explicit CNetAttributes(NetworkType type);
    CNetAttributes(const CNetAttributes& other) = default;
    CNetAttributes& operator=(const CNetAttributes& other) = default;
    virtual ~CNetAttributes();

    void SetDefaults();

    // The attribute block of this record: 19 bytes for Ethernet, 12 for DeviceNet, 13 for Profibus.
    ByteString BuildBlock() const;

    // Decodes a block read back from the controller: the fieldbus layout, or for an Ethernet record
    // the addresses, timeout and poll time. Length, type byte and reserved bytes are not looked at; the
    // record keeps its own type. A block shorter than ParsedLength() is not decoded at all: the record
    // is left unchanged and nothing past the block's end is read.
    void ParseBlock(const ByteString& block);

    // Bytes ParseBlock needs: 19 for an Ethernet record, 12 for DeviceNet (baud rate in byte 11), 11
    // otherwise.
    std::size_t ParsedLength() const;

    int m_nType;
    int m_nTimeout;
    int m_nPollTime;
    int m_nInputWords;
    int m_nOutputWords;
    int m_nNodeAddress;
    std::uint8_t m_byBaudRate;
    std::uint8_t m_byIpAddress[4];
    std::uint8_t m_bySubnetMask[4];
    std::uint8_t m_byGateway[4];
    int m_nPortNumber;
};
