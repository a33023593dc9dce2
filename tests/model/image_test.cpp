#include <gtest/gtest.h>

#include "fuzz/normal_form.h"

#include <random>

#include "model/config_image.h"
#include "printers.h"

namespace {

TemplateRecord Decoded(const ConfigImage& image)
{
    TemplateRecord r;
    DecodeImage(image, r);
    return r;
}

TemplateRecord NewTemplate() { return Decoded(DefaultImage()); }

void SetSwitch(TemplateRecord& r, int k, bool on)
{
    r.formatFields[k].enabled = on ? 1 : 0;
    r.formatFields[k].text = on ? "Enable" : "Disable";
}

TEST(DefaultImage, IsFreeBytesThenSerialByteAndDelay)
{
    const ConfigImage img = DefaultImage();
    for (int i = 0; i < 0x3E; ++i)
        EXPECT_EQ(img[i], 0xFF) << i;
    EXPECT_EQ(img[0x3E], 0xCE);
    EXPECT_EQ(img[0x3F], 0x04);
}

TEST(DefaultImage, TrailerHoldsTheMarker)
{
    const ImageTrailer t = DefaultTrailer();
    for (int i = 0; i < 32; ++i) {
        if (i >= 6 && i <= 9)
            continue;
        EXPECT_EQ(t[i], 0xFF) << i;
    }
    EXPECT_EQ(t[6], 0x55);
    EXPECT_EQ(t[7], 0xAA);
    EXPECT_EQ(t[8], 0x5A);
    EXPECT_EQ(t[9], 0xD8);
}

TEST(DecodeImage, DefaultImageGivesTheNewTemplateValues)
{
    const TemplateRecord r = NewTemplate();
    for (int k = 0; k < formatFieldCount; ++k) {
        const FieldKind kind = FieldInfoAt(k).kind;
        if (kind == FieldKind::Text || kind == FieldKind::Terminator || kind == FieldKind::Data) {
            EXPECT_EQ(r.formatFields[k].text, "") << k;
        }
    }
    for (int t = 0; t < 3; ++t) {
        const int b = 1 + 8 * t;
        for (int s : {1, 4, 5}) {
            EXPECT_EQ(r.formatFields[b + s].text, "Enable");
            EXPECT_EQ(r.formatFields[b + s].enabled, 1);
        }
        EXPECT_EQ(r.formatFields[b + 6].text, "Disable");
        EXPECT_EQ(r.formatFields[b + 6].enabled, 0);
        EXPECT_EQ(r.trackEnabled[t], 1);
    }
    EXPECT_EQ(r.errorMode, 0);
    EXPECT_EQ(r.longBeepOnGoodRead, 0);
    EXPECT_EQ(r.threeBeepsOnError, 0);
    EXPECT_EQ(r.baudIndex, 2);
    EXPECT_EQ(r.parityIndex, 0);
    EXPECT_EQ(r.dataBitsIndex, 1);
    EXPECT_EQ(r.flowControlIndex, 1);
    EXPECT_EQ(r.stopBitsText, "1 stop bit");
    EXPECT_EQ(r.outputDelay, 4);
    EXPECT_EQ(r.oposMode, 0);
}

TEST(DecodeImage, CollectSkipsFreeBytesWithoutStopping)
{
    ConfigImage img = DefaultImage();
    img[0x00] = 0x41;
    img[0x02] = 0x42;
    img[0x10] = 0x0D;
    img[0x11] = 0x5B;
    img[0x3C] = 0x09;  // card suffix, third slot byte
    const TemplateRecord r = Decoded(img);
    EXPECT_EQ(r.formatFields[1].text, "AB");
    EXPECT_EQ(r.formatFields[9].text, "[CR][[");
    EXPECT_EQ(r.formatFields[25].text, "[TB]");
}

TEST(DecodeImage, OutputDelayOutsideItsRangeBecomesFour)
{
    ConfigImage img = DefaultImage();
    const std::pair<int, int> cases[] = {{0x00, 4}, {0x01, 1}, {0xC8, 200}, {0xC9, 4}, {0xFF, 4}};
    for (auto [byte, delay] : cases) {
        img[0x3F] = static_cast<std::uint8_t>(byte);
        EXPECT_EQ(Decoded(img).outputDelay, delay) << byte;
    }
}

TEST(DecodeImage, SerialByteFields)
{
    ConfigImage img = DefaultImage();
    img[0x3E] = 0x20;  // parity code 10, baud bits 0
    TemplateRecord r = Decoded(img);
    EXPECT_EQ(r.parityIndex, 0);
    EXPECT_EQ(r.baudIndex, 4);
    EXPECT_EQ(r.dataBitsIndex, 0);
    EXPECT_EQ(r.flowControlIndex, 0);
    EXPECT_EQ(r.oposMode, 1);

    img[0x3E] = 0xF7;  // 19200, OPOS on, odd, 8 bits, no flow control
    r = Decoded(img);
    EXPECT_EQ(r.baudIndex, 3);
    EXPECT_EQ(r.parityIndex, 2);
    EXPECT_EQ(r.dataBitsIndex, 1);
    EXPECT_EQ(r.flowControlIndex, 1);
    EXPECT_EQ(r.oposMode, 1);

    img[0x3E] = 0x1C;  // 2400 (4), OPOS off, even
    r = Decoded(img);
    EXPECT_EQ(r.baudIndex, 0);
    EXPECT_EQ(r.parityIndex, 1);
    EXPECT_EQ(r.oposMode, 0);
}

TEST(DecodeImage, TrackOneFlagByteAllClear)
{
    ConfigImage img = DefaultImage();
    img[0x33] = 0x00;
    const TemplateRecord r = Decoded(img);
    for (int s : {2, 5, 6})
        EXPECT_EQ(r.formatFields[s].enabled, 0) << s;
    EXPECT_EQ(r.formatFields[7].text, "Enable");  // LRC is active-low
    EXPECT_EQ(r.trackEnabled[0], 0);
    EXPECT_EQ(r.errorMode, 1);
    EXPECT_EQ(r.longBeepOnGoodRead, 1);
    EXPECT_EQ(r.threeBeepsOnError, 1);
}

TEST(DecodeImage, OtherTrackBytesIgnoreBitsFourToSix)
{
    ConfigImage img = DefaultImage();
    img[0x34] = 0x0F;
    img[0x35] = 0x7F;
    const TemplateRecord a = Decoded(img);
    img[0x34] = 0x0F | 0x70;
    img[0x35] = 0x0F;
    EXPECT_EQ(Decoded(img), a);
    EXPECT_EQ(a.errorMode, 0);  // only byte 0x33 carries the options
}

TEST(EncodeImage, NewTemplateReproducesTheDefaultImage)
{
    ConfigImage img = DefaultImage();
    EncodeImage(NewTemplate(), img);
    EXPECT_EQ(img, DefaultImage());
}

TEST(EncodeImage, StringSlotsAndTerminators)
{
    TemplateRecord r = NewTemplate();
    r.formatFields[1].text = "[CR][LF]";
    r.formatFields[4].text = "[TB]";
    r.formatFields[12].text = "";
    r.formatFields[0].text = "ABCD";
    r.formatFields[25].text = "[[";
    r.formatFields[24].text = "12345678";
    ConfigImage img = DefaultImage();
    img[0x31] = 0x41;  // an old terminator that the empty text must clear
    EncodeImage(r, img);
    const std::uint8_t prefix[8] = {0x0D, 0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(img[i], prefix[i]);
    EXPECT_EQ(img[0x30], 0x09);
    EXPECT_EQ(img[0x31], 0xFF);
    EXPECT_EQ(img[0x36], 'A');
    EXPECT_EQ(img[0x39], 'D');
    EXPECT_EQ(img[0x3A], 0x5B);
    EXPECT_EQ(img[0x3B], 0xFF);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(img[0x28 + i], '1' + i);
}

TEST(EncodeImage, OverlongTextNeverWritesOutsideItsSlot)
{
    TemplateRecord r = NewTemplate();
    r.formatFields[0].text = "ABCDEFGH";  // breaks the limit of 4
    ConfigImage img = DefaultImage();
    EncodeImage(r, img);
    EXPECT_EQ(img[0x39], 'D');
    EXPECT_EQ(img[0x3A], 0xFF);
}

TEST(EncodeImage, EveryFlagBitOfTrackOne)
{
    struct Case {
        const char* what;
        void (*apply)(TemplateRecord&);
        std::uint8_t mask;
        bool setWhenApplied;
    };
    const Case cases[] = {
        {"track off", [](TemplateRecord& r) { r.trackEnabled[0] = 0; }, 0x01, false},
        {"start off", [](TemplateRecord& r) { SetSwitch(r, 2, false); }, 0x02, false},
        {"stop off", [](TemplateRecord& r) { SetSwitch(r, 6, false); }, 0x04, false},
        {"separator off", [](TemplateRecord& r) { SetSwitch(r, 5, false); }, 0x08, false},
        {"no output at any error", [](TemplateRecord& r) { r.errorMode = 1; }, 0x10, false},
        {"long beep", [](TemplateRecord& r) { r.longBeepOnGoodRead = 1; }, 0x20, false},
        {"three beeps", [](TemplateRecord& r) { r.threeBeepsOnError = 1; }, 0x40, false},
        {"LRC on", [](TemplateRecord& r) { SetSwitch(r, 7, true); }, 0x80, false},
    };
    ConfigImage base = DefaultImage();
    EncodeImage(NewTemplate(), base);
    EXPECT_EQ(base[0x33], 0xFF);
    for (const Case& c : cases) {
        TemplateRecord r = NewTemplate();
        c.apply(r);
        ConfigImage img = DefaultImage();
        EncodeImage(r, img);
        EXPECT_EQ(img[0x33], static_cast<std::uint8_t>(0xFF & ~c.mask)) << c.what;
        EXPECT_EQ(Decoded(img), r) << c.what;
    }
}

TEST(EncodeImage, EverythingOnGivesFlagByte0F)
{
    TemplateRecord r = NewTemplate();
    for (int s : {2, 5, 6, 7})
        r.formatFields[s].enabled = 1;
    r.errorMode = 1;
    r.longBeepOnGoodRead = 1;
    r.threeBeepsOnError = 1;
    ConfigImage img = DefaultImage();
    EncodeImage(r, img);
    EXPECT_EQ(img[0x33], 0x0F);
}

TEST(EncodeImage, TracksTwoAndThreeKeepBitsFourToSix)
{
    ConfigImage img = DefaultImage();
    img[0x34] = 0x5F;
    img[0x35] = 0x2F;
    TemplateRecord r = Decoded(img);
    SetSwitch(r, 10, false);
    SetSwitch(r, 23, true);
    r.errorMode = 1;
    EncodeImage(r, img);
    EXPECT_EQ(img[0x34], 0x5D);
    EXPECT_EQ(img[0x35], 0x2F & ~0x80);
}

TEST(EncodeImage, SerialByte)
{
    TemplateRecord r = NewTemplate();
    r.baudIndex = 3;
    r.parityIndex = 2;
    r.dataBitsIndex = 0;
    r.flowControlIndex = 0;
    r.oposMode = 1;
    ConfigImage img = DefaultImage();
    EncodeImage(r, img);
    EXPECT_EQ(img[0x3E], 0x37);
    r.oposMode = 0;
    EncodeImage(r, img);
    EXPECT_EQ(img[0x3E], 0x3F);
    r.parityIndex = 1;
    EncodeImage(r, img);
    EXPECT_EQ(img[0x3E] & 0x30, 0x10);
    r.parityIndex = 0;
    r.baudIndex = 0;
    r.dataBitsIndex = 1;
    r.flowControlIndex = 1;
    EncodeImage(r, img);
    EXPECT_EQ(img[0x3E], 0xCC);
}

TEST(EncodeImage, SettingWithoutSelectionKeepsItsBits)
{
    for (int old : {0x00, 0x37, 0xCE, 0xFF, 0x20, 0x91}) {
        TemplateRecord r = NewTemplate();
        r.baudIndex = r.parityIndex = r.dataBitsIndex = r.flowControlIndex = -1;
        for (int opos : {0, 1}) {
            r.oposMode = opos;
            ConfigImage img = DefaultImage();
            img[0x3E] = static_cast<std::uint8_t>(old);
            EncodeImage(r, img);
            const int expected = opos ? (old & ~0x08) : (old | 0x08);
            EXPECT_EQ(img[0x3E], expected) << std::hex << old << " opos " << opos;
        }
    }
}

TEST(EncodeImage, EachSerialSettingOwnsOnlyItsBits)
{
    TemplateRecord r = NewTemplate();
    r.baudIndex = r.parityIndex = r.dataBitsIndex = r.flowControlIndex = -1;
    r.oposMode = 0;
    const std::uint8_t old = 0x00;
    auto encode = [&](TemplateRecord rec) {
        ConfigImage img = DefaultImage();
        img[0x3E] = old;
        EncodeImage(rec, img);
        return img[0x3E];
    };
    TemplateRecord b = r;
    b.baudIndex = 3;
    EXPECT_EQ(encode(b), 0x08 | 0x07);
    TemplateRecord p = r;
    p.parityIndex = 2;
    EXPECT_EQ(encode(p), 0x08 | 0x30);
    TemplateRecord d = r;
    d.dataBitsIndex = 1;
    EXPECT_EQ(encode(d), 0x08 | 0x40);
    TemplateRecord f = r;
    f.flowControlIndex = 1;
    EXPECT_EQ(encode(f), 0x08 | 0x80);
    TemplateRecord outOfList = r;
    outOfList.baudIndex = 5;  // a decoded index that names no list entry
    EXPECT_EQ(encode(outOfList), 0x08);
}

// With the serial lists cleared (USB and keyboard-port links), a file opened
// and saved again keeps all 64 bytes.
TEST(EncodeImage, OpenAndSaveWithoutSerialSelectionKeepsEveryByte)
{
    std::mt19937 rng(7);
    for (int n = 0; n < 2000; ++n) {
        ConfigImage img;
        for (auto& b : img)
            b = static_cast<std::uint8_t>(rng());
        img[0x3F] = static_cast<std::uint8_t>(1 + rng() % 200);
        // Slots whose free bytes are only at the end, as a save writes them.
        TemplateRecord r = Decoded(img);
        ConfigImage normalised = img;
        EncodeImage(r, normalised);
        TemplateRecord cleared = Decoded(normalised);
        cleared.baudIndex = cleared.parityIndex = cleared.dataBitsIndex = cleared.flowControlIndex = -1;
        ConfigImage again = normalised;
        EncodeImage(cleared, again);
        ASSERT_EQ(again, normalised) << n;
    }
}

TEST(RoundTrip, EveryImageDecodesAndReEncodesToItsNormalForm)
{
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 20000; ++n) {
        ConfigImage img;
        const int flavour = n % 4;
        for (auto& b : img) {
            const int v = byte(rng);
            b = static_cast<std::uint8_t>(flavour == 0 ? v : (flavour == 1 && v < 128 ? 0xFF : v));
        }
        if (flavour == 2)
            img[0x3F] = 0;
        if (flavour == 3)
            img[0x3E] = static_cast<std::uint8_t>((img[0x3E] & ~0x30) | 0x20);
        const TemplateRecord r = Decoded(img);
        TemplateRecord twice = r;
        DecodeImage(img, twice);
        ASSERT_EQ(twice, r);
        ConfigImage out = img;
        EncodeImage(r, out);
        ASSERT_EQ(out, NormalisedImage(img)) << "image " << n;
        ASSERT_EQ(Decoded(out), r) << "image " << n;
        // Stable from then on.
        ConfigImage again = out;
        EncodeImage(Decoded(out), again);
        ASSERT_EQ(again, out);
    }
}

TEST(RoundTrip, RecordSurvivesEncodingExceptDataAndFreeBytes)
{
    TemplateRecord r = NewTemplate();
    r.formatFields[0].text = "[CR]x";
    r.formatFields[9].text = "ab[TB]]";
    r.formatFields[20].text = "[LF]";
    r.formatFields[16].text = "\xFF" "A";  // 0xFF is a free byte and is lost
    r.trackEnabled = {0, 1, 0};
    r.errorMode = 1;
    r.baudIndex = 0;
    r.parityIndex = 1;
    r.dataBitsIndex = 0;
    r.flowControlIndex = 0;
    r.outputDelay = 200;
    r.oposMode = 1;
    ConfigImage img = DefaultImage();
    EncodeImage(r, img);
    TemplateRecord back = Decoded(img);
    EXPECT_EQ(back.formatFields[16].text, "A");
    back.formatFields[16].text = r.formatFields[16].text;
    EXPECT_EQ(back, r);
}

TEST(XorOf, CombinesAllBytes)
{
    const std::uint8_t b[] = {0x01, 0x02, 0x04, 0xF0};
    EXPECT_EQ(XorOf(b, 4), 0xF7);
    EXPECT_EQ(XorOf(b, 0), 0x00);
}

}  // namespace
