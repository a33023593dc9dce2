// The checks on the serial reader's reply to a read request.
#pragma once

#include <cstdint>

#include "model/config_image.h"

enum class ComReply {
    Accepted,     // image holds the 64 decoded bytes
    WrongPacket,  // nothing but zero bytes, or the last non-zero byte is not 0xEE
    Rejected,     // no start marker, incomplete, check failed, or 128 bytes or fewer
};

// buffer: the 180-byte receive buffer, of which count bytes were received.
// The reply is 0xEF, 130 nibble characters (the image and a check byte, low
// nibble first, only the low 4 bits of each character count), 0xEE, and
// possibly trailing 0x00. The start marker is sought in the first 150 bytes.
// image is written only when the reply is accepted.
ComReply CheckComReply(const std::uint8_t* buffer, int count, ConfigImage& image);
