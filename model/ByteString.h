#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

// Counted byte string: the length is explicit, so zero bytes are ordinary content.
using ByteString = std::vector<std::uint8_t>;

// In a read reply: the controller holds no attributes of that type. Written with type Ethernet: disable.
inline ByteString EmptyAttributeBlock() {
    return ByteString{0x00, 0x02};
}
