// The simulated reader's configuration memory: 64 blocks of 32 bytes. The
// image lives in blocks 61 and 62, the trailer in block 63. Every face of the
// simulated reader (serial, USB, keyboard port) reads and writes this one memory.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "model/config_image.h"

class SimReaderMemory {
public:
    static constexpr int blockSize = 32;
    static constexpr int blockCount = 64;
    static constexpr int imageFirstBlock = 61;
    static constexpr int trailerBlock = 63;

    SimReaderMemory()
    {
        m_bytes.fill(0xFF);
        SetImage(DefaultImage());
        SetTrailer(DefaultTrailer());
    }

    std::uint8_t* Block(int n) { return m_bytes.data() + blockSize * (n & (blockCount - 1)); }
    const std::uint8_t* Block(int n) const { return m_bytes.data() + blockSize * (n & (blockCount - 1)); }

    ConfigImage Image() const
    {
        ConfigImage out{};
        std::copy_n(Block(imageFirstBlock), imageSize, out.begin());
        return out;
    }
    void SetImage(const ConfigImage& image) { std::copy(image.begin(), image.end(), Block(imageFirstBlock)); }

    ImageTrailer Trailer() const
    {
        ImageTrailer out{};
        std::copy_n(Block(trailerBlock), trailerSize, out.begin());
        return out;
    }
    void SetTrailer(const ImageTrailer& trailer) { std::copy(trailer.begin(), trailer.end(), Block(trailerBlock)); }

    // How many times the reader took a new image, over any face.
    int imageWrites = 0;

private:
    std::array<std::uint8_t, blockSize * blockCount> m_bytes{};
};
