#include "model/config_image.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kFree = 0xFF;

void PutSlot(ConfigImage& image, int offset, int width, const std::string& text)
{
    const std::string bytes = UnescapeText(text);
    std::fill_n(image.begin() + offset, width, kFree);
    // The record's limits keep a converted text inside its slot; never write past it.
    const int n = std::min<int>(width, static_cast<int>(bytes.size()));
    for (int i = 0; i < n; ++i)
        image[offset + i] = static_cast<std::uint8_t>(bytes[i]);
}

void PutTerminator(ConfigImage& image, int offset, const std::string& text)
{
    const std::string bytes = UnescapeText(text);
    image[offset] = bytes.empty() ? kFree : static_cast<std::uint8_t>(bytes[0]);
}

std::uint8_t WithBit(std::uint8_t value, int bit, bool set)
{
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    return set ? static_cast<std::uint8_t>(value | mask) : static_cast<std::uint8_t>(value & ~mask);
}

// Track t (1..3): its switches, output flag and, for track 1, the error and beep options.
void PutTrackFlags(ConfigImage& image, const TemplateRecord& r, int t)
{
    const int b = 1 + 8 * (t - 1);
    const int offset = imageOffset::trackFlags + t - 1;
    std::uint8_t f = image[offset];
    f = WithBit(f, 1, r.formatFields[b + 1].enabled != 0);  // start sentinel
    f = WithBit(f, 3, r.formatFields[b + 4].enabled != 0);  // separator
    f = WithBit(f, 2, r.formatFields[b + 5].enabled != 0);  // stop sentinel
    f = WithBit(f, 7, r.formatFields[b + 6].enabled == 0);  // LRC, active-low
    f = WithBit(f, 0, r.trackEnabled[t - 1] != 0);
    if (t == 1) {
        f = WithBit(f, 4, r.errorMode == 0);
        f = WithBit(f, 5, r.longBeepOnGoodRead == 0);
        f = WithBit(f, 6, r.threeBeepsOnError == 0);
    }
    image[offset] = f;
}

// Replaces the bits of mask in value by bits.
std::uint8_t PutBits(std::uint8_t value, std::uint8_t mask, unsigned bits)
{
    return static_cast<std::uint8_t>((value & ~mask) | (bits & mask));
}

std::uint8_t SerialByte(const TemplateRecord& r, std::uint8_t previous)
{
    std::uint8_t s = previous;
    // A list index outside its list is no selection: that setting keeps its bits.
    if (r.baudIndex >= 0 && r.baudIndex <= 3)
        s = PutBits(s, 0x07, static_cast<unsigned>(r.baudIndex + 4));
    if (r.parityIndex >= 0 && r.parityIndex <= 2)
        s = PutBits(s, 0x30, r.parityIndex == 2 ? 0x30u : static_cast<unsigned>(r.parityIndex) << 4);
    if (r.dataBitsIndex == 0 || r.dataBitsIndex == 1)
        s = PutBits(s, 0x40, static_cast<unsigned>(r.dataBitsIndex) << 6);
    if (r.flowControlIndex == 0 || r.flowControlIndex == 1)
        s = PutBits(s, 0x80, static_cast<unsigned>(r.flowControlIndex) << 7);
    return WithBit(s, 3, r.oposMode == 0);
}

std::string Collect(const ConfigImage& image, int offset, int width)
{
    std::string bytes;
    for (int i = 0; i < width; ++i) {
        const std::uint8_t b = image[offset + i];
        if (b != kFree)  // a free byte is skipped; the bytes after it are still taken
            bytes += static_cast<char>(b);
    }
    return EscapeText(bytes);
}

void SetSwitch(FormatField& field, bool on)
{
    field.enabled = on ? 1 : 0;
    field.text = on ? "Enable" : "Disable";
}

int Bit(std::uint8_t value, int bit) { return (value >> bit) & 1; }

void GetTrack(const ConfigImage& image, TemplateRecord& r, int t, int prefixOffset, int suffixOffset)
{
    const int b = 1 + 8 * (t - 1);
    r.formatFields[b].text = Collect(image, prefixOffset, 8);
    r.formatFields[b + 3].text = Collect(image, imageOffset::terminators + t - 1, 1);
    r.formatFields[b + 7].text = Collect(image, suffixOffset, 8);
    const std::uint8_t f = image[imageOffset::trackFlags + t - 1];
    SetSwitch(r.formatFields[b + 1], Bit(f, 1));
    SetSwitch(r.formatFields[b + 4], Bit(f, 3));
    SetSwitch(r.formatFields[b + 5], Bit(f, 2));
    SetSwitch(r.formatFields[b + 6], Bit(f, 7) == 0);
    r.trackEnabled[t - 1] = Bit(f, 0);
}

}  // namespace

ConfigImage DefaultImage()
{
    ConfigImage image;
    image.fill(kFree);
    image[imageOffset::serialSettings] = 0xCE;
    image[imageOffset::outputDelay] = 0x04;
    return image;
}

ImageTrailer DefaultTrailer()
{
    ImageTrailer trailer;
    trailer.fill(kFree);
    trailer[6] = 0x55;
    trailer[7] = 0xAA;
    trailer[8] = 0x5A;
    trailer[9] = 0xD8;
    return trailer;
}

void EncodeImage(const TemplateRecord& r, ConfigImage& image)
{
    const auto& f = r.formatFields;
    PutSlot(image, imageOffset::cardPrefix, 4, f[0].text);
    PutSlot(image, imageOffset::track1Prefix, 8, f[1].text);
    PutTerminator(image, imageOffset::terminators, f[4].text);
    PutSlot(image, imageOffset::track1Suffix, 8, f[8].text);
    PutTrackFlags(image, r, 1);
    PutSlot(image, imageOffset::track2Prefix, 8, f[9].text);
    PutTerminator(image, imageOffset::terminators + 1, f[12].text);
    PutSlot(image, imageOffset::track2Suffix, 8, f[16].text);
    PutTrackFlags(image, r, 2);
    PutSlot(image, imageOffset::track3Prefix, 8, f[17].text);
    PutTerminator(image, imageOffset::terminators + 2, f[20].text);
    PutSlot(image, imageOffset::track3Suffix, 8, f[24].text);
    PutTrackFlags(image, r, 3);
    PutSlot(image, imageOffset::cardSuffix, 4, f[25].text);
    image[imageOffset::serialSettings] = SerialByte(r, image[imageOffset::serialSettings]);
    image[imageOffset::outputDelay] = r.outputDelay;
}

void DecodeImage(const ConfigImage& image, TemplateRecord& r)
{
    for (int k = 0; k < formatFieldCount; ++k)
        r.formatFields[k].text.clear();
    r.formatFields[0].text = Collect(image, imageOffset::cardPrefix, 4);
    GetTrack(image, r, 1, imageOffset::track1Prefix, imageOffset::track1Suffix);
    const std::uint8_t f1 = image[imageOffset::trackFlags];
    r.errorMode = 1 - Bit(f1, 4);
    r.longBeepOnGoodRead = 1 - Bit(f1, 5);
    r.threeBeepsOnError = 1 - Bit(f1, 6);
    GetTrack(image, r, 2, imageOffset::track2Prefix, imageOffset::track2Suffix);
    GetTrack(image, r, 3, imageOffset::track3Prefix, imageOffset::track3Suffix);
    r.formatFields[25].text = Collect(image, imageOffset::cardSuffix, 4);

    const std::uint8_t s = image[imageOffset::serialSettings];
    r.baudIndex = (s - 4) & 7;
    static constexpr int parityOfCode[4] = {0, 1, 0, 2};  // code 10 reads as none
    r.parityIndex = parityOfCode[(s >> 4) & 3];
    r.dataBitsIndex = Bit(s, 6);
    r.flowControlIndex = Bit(s, 7);
    r.stopBitsText = "1 stop bit";

    const std::uint8_t d = image[imageOffset::outputDelay];
    r.outputDelay = (d >= 1 && d <= 200) ? d : 4;
    r.oposMode = Bit(s, 3) == 0 ? 1 : 0;
}

std::uint8_t XorOf(const std::uint8_t* bytes, int count)
{
    std::uint8_t x = 0;
    for (int i = 0; i < count; ++i)
        x ^= bytes[i];
    return x;
}
