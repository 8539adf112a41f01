#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Splits a fuzzer's input into leading control bytes and the rest; missing control bytes read as 0,
// so every input, however short, is usable.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_bytes(data, size) {}

    std::uint8_t Take() {
        if (m_bytes.empty())
            return 0;
        const std::uint8_t byte = m_bytes.front();
        m_bytes = m_bytes.subspan(1);
        return byte;
    }

    std::span<const std::uint8_t> Rest() const { return m_bytes; }

private:
    std::span<const std::uint8_t> m_bytes;
};
