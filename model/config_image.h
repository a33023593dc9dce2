// The 64-byte Configuration image: the unit of template files and of reader
// transfers, and its conversions to and from the template record.
#pragma once

#include <array>
#include <cstdint>

#include "model/template_record.h"

constexpr int imageSize = 64;
constexpr int trailerSize = 32;

using ConfigImage = std::array<std::uint8_t, imageSize>;
using ImageTrailer = std::array<std::uint8_t, trailerSize>;

// Offsets into the image.
namespace imageOffset {
constexpr int track1Prefix = 0x00;
constexpr int track1Suffix = 0x08;
constexpr int track2Prefix = 0x10;
constexpr int track2Suffix = 0x18;
constexpr int track3Prefix = 0x20;
constexpr int track3Suffix = 0x28;
constexpr int terminators = 0x30;  // one byte per track
constexpr int trackFlags = 0x33;   // one byte per track
constexpr int cardPrefix = 0x36;
constexpr int cardSuffix = 0x3A;
constexpr int serialSettings = 0x3E;
constexpr int outputDelay = 0x3F;
}  // namespace imageOffset

// 0xFF x 62, 0xCE (9600, OPOS/JPOS off, no parity, 8 bits, no flow control), 0x04.
ConfigImage DefaultImage();
// Six 0xFF, 55 AA 5A D8, twenty-two 0xFF.
ImageTrailer DefaultTrailer();

// Fills the image from the record in place: bytes and bits that no record
// member owns keep their value. A serial list index outside its list (-1, no
// selection) keeps that setting's bits of the serial byte.
void EncodeImage(const TemplateRecord& record, ConfigImage& image);

// Rebuilds every record member from any 64 bytes. Never fails.
void DecodeImage(const ConfigImage& image, TemplateRecord& record);

// XOR of the bytes.
std::uint8_t XorOf(const std::uint8_t* bytes, int count);
