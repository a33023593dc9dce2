#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_targets.h"
#include "fuzz/normal_form.h"
#include "model/template_record.h"

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
