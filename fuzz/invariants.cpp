#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_targets.h"
#include "model/template_record.h"

ConfigImage NormalisedImage(ConfigImage image)
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

void CheckImageRoundTrip(const ConfigImage& image)
{
    TemplateRecord record;
    DecodeImage(image, record);
    TemplateRecord twice = record;
    DecodeImage(image, twice);
    FUZZ_CHECK(twice == record);
    ConfigImage encoded = image;
    EncodeImage(record, encoded);
    FUZZ_CHECK(encoded == NormalisedImage(image));
    TemplateRecord again;
    DecodeImage(encoded, again);
    FUZZ_CHECK(again == record);
}

ConfigImage FuzzStartImage()
{
    ConfigImage image{};
    for (int i = 0; i < imageSize; ++i)
        image[i] = static_cast<std::uint8_t>(0x5A + 37 * i);
    return image;
}
