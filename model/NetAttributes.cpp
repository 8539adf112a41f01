#include "model/NetAttributes.h"

#include <algorithm>

namespace {

constexpr std::size_t EthernetBlockLength = 19;
constexpr std::size_t DeviceNetBlockLength = 12;
constexpr std::size_t ProfibusBlockLength = 13;
// The decoder reads up to the baud rate (byte 11) for DeviceNet, up to the node address (byte 10) otherwise.
constexpr std::size_t DeviceNetParsedLength = 12;
constexpr std::size_t ProfibusParsedLength = 11;

std::uint8_t LowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

int SignedByte(std::uint8_t value) {
    return static_cast<std::int8_t>(value);
}

// A word count travels as twice its value, big-endian, in 16 bits.
void PutWordCount(ByteString& block, int words) {
    const unsigned doubled = (static_cast<unsigned>(words) * 2u) & 0xFFFFu;
    block.push_back(static_cast<std::uint8_t>(doubled >> 8));
    block.push_back(static_cast<std::uint8_t>(doubled & 0xFF));
}

int GetWordCount(const ByteString& block, std::size_t offset) {
    return ((block[offset] << 8) | block[offset + 1]) >> 1;
}

void PutLength(ByteString& block) {
    const std::size_t length = block.size();
    block[0] = static_cast<std::uint8_t>(length >> 8);
    block[1] = static_cast<std::uint8_t>(length & 0xFF);
}

void GetOctets(const ByteString& block, std::size_t offset, std::uint8_t (&octets)[4]) {
    std::copy(block.begin() + static_cast<std::ptrdiff_t>(offset),
              block.begin() + static_cast<std::ptrdiff_t>(offset + 4), octets);
}

} // namespace

std::size_t AttributeBlockLength(int type) {
    switch (type) {
    case NetworkEthernet:
        return EthernetBlockLength;
    case NetworkDeviceNet:
        return DeviceNetBlockLength;
    case NetworkProfibus:
        return ProfibusBlockLength;
    default:
        return 0;
    }
}

std::optional<BlockFrameFault> CheckBlockFrame(const ByteString& block, int type) {
    if (block.size() < 2 || ((block[0] << 8) | block[1]) != static_cast<int>(block.size()))
        return BlockFrameFault::LengthField;
    if (block.size() < 3 || block[2] != type)
        return BlockFrameFault::TypeByte;
    if (block.size() != AttributeBlockLength(type))
        return BlockFrameFault::Size;
    return std::nullopt;
}

CNetAttributes::CNetAttributes(NetworkType type) : m_nType(type) {
    SetDefaults();
}

CNetAttributes::~CNetAttributes() = default;

void CNetAttributes::SetDefaults() {
    m_nTimeout = 30;
    m_nPollTime = 0;
    m_nInputWords = 16;
    m_nOutputWords = 16;
    m_nNodeAddress = 1;
    m_byBaudRate = 0;
    std::fill(std::begin(m_byIpAddress), std::end(m_byIpAddress), 0);
    std::fill(std::begin(m_bySubnetMask), std::end(m_bySubnetMask), 0);
    std::fill(std::begin(m_byGateway), std::end(m_byGateway), 0);
    m_nPortNumber = 0;

    switch (m_nType) {
    case NetworkEthernet: {
        const std::uint8_t address[4] = {192, 168, 1, 1};
        const std::uint8_t mask[4] = {255, 255, 255, 0};
        std::copy(std::begin(address), std::end(address), m_byIpAddress);
        std::copy(std::begin(mask), std::end(mask), m_bySubnetMask);
        m_nTimeout = 30;
        m_nPollTime = 0;
        break;
    }
    case NetworkDeviceNet:
    case NetworkProfibus:
        m_nInputWords = 32;
        m_nOutputWords = 2;
        m_nNodeAddress = 20;
        break;
    default:
        break;
    }
}

ByteString CNetAttributes::BuildBlock() const {
    ByteString block{0x00, 0x00, LowByte(m_nType)};
    if (m_nType == NetworkEthernet) {
        block.reserve(EthernetBlockLength);
        block.insert(block.end(), std::begin(m_byIpAddress), std::end(m_byIpAddress));
        block.insert(block.end(), std::begin(m_bySubnetMask), std::end(m_bySubnetMask));
        block.insert(block.end(), std::begin(m_byGateway), std::end(m_byGateway));
        block.push_back(0xFF);
        block.push_back(0xFF);
        block.push_back(LowByte(m_nTimeout));
        block.push_back(LowByte(m_nPollTime));
    } else {
        block.reserve(ProfibusBlockLength);
        block.push_back(LowByte(m_nTimeout));
        block.push_back(LowByte(m_nPollTime));
        PutWordCount(block, m_nInputWords);
        PutWordCount(block, m_nOutputWords);
        block.push_back(0x00);
        block.push_back(LowByte(m_nNodeAddress));
        if (m_nType == NetworkDeviceNet) {
            block.push_back(m_byBaudRate);
        } else {
            block.push_back(0x00);
            block.push_back(0x00);
        }
    }
    PutLength(block);
    return block;
}

std::size_t CNetAttributes::ParsedLength() const {
    if (m_nType == NetworkEthernet)
        return EthernetBlockLength;
    return m_nType == NetworkDeviceNet ? DeviceNetParsedLength : ProfibusParsedLength;
}

void CNetAttributes::ParseBlock(const ByteString& block) {
    if (block.size() < ParsedLength())
        return;
    if (m_nType == NetworkEthernet) {
        GetOctets(block, 3, m_byIpAddress);
        GetOctets(block, 7, m_bySubnetMask);
        GetOctets(block, 11, m_byGateway);
        m_nTimeout = SignedByte(block[17]);
        m_nPollTime = SignedByte(block[18]);
        return;
    }
    m_nTimeout = SignedByte(block[3]);
    m_nPollTime = SignedByte(block[4]);
    m_nInputWords = GetWordCount(block, 5);
    m_nOutputWords = GetWordCount(block, 7);
    m_nNodeAddress = SignedByte(block[10]);
    if (m_nType == NetworkDeviceNet)
        m_byBaudRate = block[11];
}
