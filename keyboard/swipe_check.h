// A swipe test: what arrived from a keyboard reader, set against what the
// template makes the reader send and what the host's layout makes of that.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "keyboard/host_layout.h"

// One character as it arrived (UTF-8), and when, in milliseconds from any start.
struct ArrivedKey {
    std::string text;
    long long atMs = 0;
};

// One place where what arrived is not what the reader sent.
struct SwipeDifference {
    int arrivedIndex = -1;  // the arrived key's index; -1: nothing arrived for it
    std::string arrived;    // UTF-8; empty when nothing arrived
    std::string sent;       // the sent bytes it stands for, in the printed notation; empty for an extra key
    // Why: "layout fr", "layout de, after dead_acute", "Caps Lock", "Ctrl+J: a shortcut in many programs",
    // "layout fr gives 'é'" (not explained), "not sent".
    std::string reason;
    bool explained = false;  // the host's layout (with its Caps Lock) explains it

    // "'é' where the reader sent '2': layout fr"
    std::string Text() const;
};

struct SwipeCheck {
    std::string expected;  // what the host should receive, UTF-8
    std::vector<SwipeDifference> differences;
    bool matches = false;  // every arrived key is what the layout gives for what was sent
    long long shortestGapMs = 0, longestGapMs = 0;  // between arrived keys; 0 with fewer than two
};

// Sets arrived against sent (the reader's bytes for the swipe) as typed on layout
// with the host's Caps Lock off or on; a key the layout only explains with Caps
// Lock the other way is marked "Caps Lock".
SwipeCheck CheckSwipe(const std::vector<ArrivedKey>& arrived, const std::vector<std::uint8_t>& sent,
                      const HostLayout& layout, bool capsLock);

// The UTF-8 text split into its characters, each arrived at time 0.
std::vector<ArrivedKey> ArrivedText(const std::string& text);

// The bytes a keyboard reader typed, from its own key events (evdev key code,
// value 1 press, 0 release, 2 repeat): the keys before any layout, with the
// Shift and Ctrl they were pressed with.
class ReaderKeys {
public:
    // The byte of a key press; nothing for a release, a modifier or a key no byte uses.
    std::optional<std::uint8_t> Feed(int keycode, int value);

private:
    bool m_shift[2] = {false, false};
    bool m_ctrl[2] = {false, false};
};
