// The fuzz targets: each takes one input of any length, runs the code that
// parses it, and checks what must hold whatever the bytes were.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fuzz/normal_form.h"
#include "model/config_image.h"

// A template file of that content opened by the document.
int FuzzTemplateFile(const std::uint8_t* data, std::size_t size);
// The bytes as a text in escape notation.
int FuzzEscapeText(const std::uint8_t* data, std::size_t size);
// The bytes as what the serial reader sent in answer to a read request.
int FuzzComReply(const std::uint8_t* data, std::size_t size);
// The bytes as everything the reader sent on the keyboard line during a read.
int FuzzKbAnswers(const std::uint8_t* data, std::size_t size);
// The bytes as the USB reader's get-feature reports during a read and a write.
int FuzzUsbReadBack(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
    const char* name;  // also the folder of its seed corpus
    int (*run)(const std::uint8_t*, std::size_t);
};
inline constexpr FuzzTarget fuzzTargets[] = {
    {"template_file", FuzzTemplateFile}, {"escape_text", FuzzEscapeText}, {"com_reply", FuzzComReply},
    {"kb_answers", FuzzKbAnswers},       {"usb_readback", FuzzUsbReadBack},
};

// Decodes image into a fresh record, encodes that record over a copy of the
// image, and checks the result against NormalisedImage.
void CheckImageRoundTrip(const ConfigImage& image);

// The image a document holds before a target runs a read: unlike the
// default image in every byte, so that a refused read that touched it shows.
ConfigImage FuzzStartImage();
