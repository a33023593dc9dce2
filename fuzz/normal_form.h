// What encoding a decoded image gives back: the image itself, except that
// free bytes (0xFF) inside a string slot move to its end, an output delay out
// of range becomes 4 and parity code 10 becomes 00. Stated on its own, apart
// from the encoder, for the tests and fuzz targets that check it.
#pragma once

#include <vector>

#include "model/config_image.h"

inline ConfigImage NormalisedImage(ConfigImage image)
{
    auto compact = [&](int offset, int width) {
        std::vector<std::uint8_t> kept;
        for (int i = 0; i < width; ++i)
            if (image[offset + i] != 0xFF)
                kept.push_back(image[offset + i]);
        for (int i = 0; i < width; ++i)
            image[offset + i] = i < static_cast<int>(kept.size()) ? kept[i] : 0xFF;
    };
    for (int slot = 0; slot < 6; ++slot)
        compact(slot * 8, 8);
    compact(0x36, 4);
    compact(0x3A, 4);
    if (image[0x3F] == 0 || image[0x3F] > 200)
        image[0x3F] = 4;
    if ((image[0x3E] & 0x30) == 0x20)
        image[0x3E] &= ~0x30;
    return image;
}
