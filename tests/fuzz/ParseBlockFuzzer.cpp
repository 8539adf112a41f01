#include "model/NetAttributes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Decoding arbitrary bytes into either fieldbus record must stay inside the block, and whatever it
// decodes must re-encode to the same one-byte fields and the word counts it read.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteString block(data, data + size);
    for (NetworkType type : {NetworkDeviceNet, NetworkProfibus}) {
        CNetAttributes record(type);
        record.ParseBlock(block);
        if (block.size() < record.ParsedLength())
            continue;
        const ByteString encoded = record.BuildBlock();
        for (std::size_t offset : {3u, 4u, 10u})
            if (encoded[offset] != block[offset])
                std::abort();
        if (encoded[5] != block[5] || (encoded[6] | 1) != (block[6] | 1) || encoded[7] != block[7] ||
            (encoded[8] | 1) != (block[8] | 1))
            std::abort();
        if (type == NetworkDeviceNet && encoded[11] != block[11])
            std::abort();
    }
    return 0;
}
