// The simulated reader's configuration memory: 64 blocks of 32 bytes. The
// image lives in blocks 61 and 62, the trailer in block 63. Every face of the
// simulated reader (serial, USB, keyboard port) reads and writes this one memory.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "device/trace.h"
#include "model/config_image.h"

// Says on the trace that the reader was told to take a new image, and over
// which face, so a run can show that no write was sent.
inline void TraceWriteCommand(const char* face)
{
    Trace(std::string("simulated reader: write command over ") + face);
}

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

    // The image as the reader answers a read with it, or block n of such an
    // answer; each read counts once (at its image's first block). From the
    // read SetDriftFromRead names on (0: never) the output delay is one off.
    ConfigImage AnswerImage()
    {
        ConfigImage out = Image();
        if (CountRead())
            out[imageOffset::outputDelay] ^= 0x01;
        return out;
    }
    void AnswerBlock(int n, std::uint8_t* out)
    {
        std::copy_n(Block(n), blockSize, out);
        if (n == imageFirstBlock)
            m_driftNow = CountRead();
        if (n == imageFirstBlock + 1 && m_driftNow)
            out[imageOffset::outputDelay - blockSize] ^= 0x01;
    }
    void SetDriftFromRead(int n)
    {
        m_driftFromRead = n;
        m_reads = 0;
    }

private:
    bool CountRead() { return ++m_reads >= m_driftFromRead && m_driftFromRead > 0; }

    int m_driftFromRead = 0;
    int m_reads = 0;
    bool m_driftNow = false;
    std::array<std::uint8_t, blockSize * blockCount> m_bytes{};
};
