#include "device/com/card_test.h"

#include <array>

#include "device/com/com_port.h"

void AppendCardTestText(std::string& text, const std::uint8_t* bytes, int count)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        if (b == 0x00)
            continue;
        if (b >= 0x20 && b <= 0x7E) {
            text += static_cast<char>(b);
            continue;
        }
        text += '<';
        if (b >= 0x10)
            text += hex[b >> 4];
        text += hex[b & 0x0F];
        text += '>';
    }
}

std::string CardTestText::Append(const std::uint8_t* bytes, int count)
{
    const std::size_t from = m_text.size();
    AppendCardTestText(m_text, bytes, count);
    return m_text.substr(from);
}

std::string CardTestText::Poll(CComPort& port)
{
    const std::size_t from = m_text.size();
    std::array<std::uint8_t, CComPort::readBlockSize> block{};
    for (int i = 0; i < maxBlocksPerPoll; ++i) {
        const int n = port.ReadBlock(block.data());
        AppendCardTestText(m_text, block.data(), n);
        if (n < CComPort::readBlockSize)
            break;
    }
    return m_text.substr(from);
}
