// What a reader with a given template sends to the host for one swipe: the
// bytes in order, the beeps it gives, and its pace. The simulated reader
// sends exactly this, and the editor's preview shows it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/template_record.h"

// One track as the head read it: its data is the characters between the
// sentinels, without them (track 1 from 0x20 to 0x5F, tracks 2 and 3 from
// 0x30 to 0x3F).
struct SwipeTrack {
    bool present = false;
    bool damaged = false;  // a read error on this track
    std::string data;
};

struct CardSwipe {
    std::array<SwipeTrack, 3> tracks;
};

struct ReaderOutput {
    std::vector<std::uint8_t> bytes;
    bool longBeep = false;    // a good read, with the long beep on
    bool threeBeeps = false;  // a read error, with the three beeps on
    int byteDelayMs = 0;      // one byte every this many milliseconds
    bool oposNote = false;    // OPOS/JPOS mode is on: its output is not what is shown

    // Which part of the template or the card each byte comes from, by the
    // format field index (0..25) of its box in the diagram.
    std::vector<int> fieldOfByte;
};

// The simulated reader's sample card: tracks 1 and 2, no track 3.
CardSwipe SampleSwipe();

// The start sentinel, field separator and stop sentinel of track t (1..3).
char StartSentinelOf(int track);
char SeparatorOf(int track);
constexpr char stopSentinel = '?';
// The lowest and highest character of track t's alphabet.
char FirstCharOf(int track);
char LastCharOf(int track);

// The LRC character of track t for data read between the sentinels.
char LrcOf(int track, std::string_view data);

// Empty when data can be track t's, else why not ("'a' is not a track 1 character").
std::string TrackDataError(int track, std::string_view data);

ReaderOutput ReaderOutputFor(const TemplateRecord& record, const CardSwipe& swipe);

// "one long beep", "three beeps" or "none".
std::string BeepText(const ReaderOutput& output);
// The note shown when OPOS/JPOS mode is on.
constexpr const char* oposNoteText = "OPOS/JPOS mode is on: its output is not modelled; shown is the plain output.";
