#include "device/com/com_reply.h"

#include <algorithm>

#include "device/com/com_port.h"

namespace {
constexpr std::uint8_t startMarker = 0xEF;
constexpr std::uint8_t endMarker = 0xEE;
constexpr int markerSearchLimit = 150;
constexpr int replyBytes = imageSize + 1;  // the image and its check byte
}  // namespace

ComReply CheckComReply(const std::uint8_t* buffer, int count, ConfigImage& image)
{
    count = std::clamp(count, 0, CComPort::readBlockSize);

    int last = count - 1;
    while (last >= 0 && buffer[last] == 0x00)
        --last;
    if (last < 0 || buffer[last] != endMarker)
        return ComReply::WrongPacket;

    int start = -1;
    for (int i = 0; i < markerSearchLimit; ++i) {
        if (buffer[i] == startMarker) {
            start = i + 1;
            break;
        }
    }
    if (start < 0)
        return ComReply::Rejected;

    ConfigImage decoded = image;
    std::uint8_t check = 0;
    int done = 0;
    for (int i = start; i < markerSearchLimit && done < replyBytes; i += 2, ++done) {
        const auto b = static_cast<std::uint8_t>((buffer[i] & 0x0F) | ((buffer[i + 1] & 0x0F) << 4));
        if (done < imageSize)
            decoded[done] = b;
        check ^= b;
    }
    // Only a complete reply counts: a start marker too near the end of the
    // searched range leaves part of the image undecoded.
    if (check != 0 || done < replyBytes || count <= 128)
        return ComReply::Rejected;
    image = decoded;
    return ComReply::Accepted;
}
