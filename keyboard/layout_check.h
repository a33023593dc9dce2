// Every character a template can make the reader send, checked against a
// host's layout: the template's own texts, sentinels and separators, the
// track alphabets and the LRC alphabet, grouped by where they come from.
#pragma once

#include <string>
#include <vector>

#include "keyboard/host_layout.h"
#include "model/reader_output.h"

// A byte to send instead of another in a template's own text, so that the
// host with this layout receives the wanted character.
struct LayoutSubstitute {
    std::uint8_t wanted = 0;
    std::uint8_t send = 0;
};

struct LayoutCheckGroup {
    std::string source;  // "CardPrefix", "T1StartSentinel", "track 2 data", "track 2 LRC", ...
    // The characters of the group that arrive differently; offset is the
    // character's place in the group. A dead key's change says what it does
    // to the character after it in the sample card's output.
    std::vector<TypedChange> changes;
    // The changes that matter: a character of the template's own texts,
    // sentinels or separators, or of the sample card's data.
    std::vector<TypedChange> failures;
    // The characters that arrive as sent but not with the host's Caps Lock on,
    // and of those the ones that matter.
    std::vector<TypedChange> capsChanges;
    std::vector<TypedChange> capsFailures;
    // For the template's own texts: where another key gives the changed character.
    std::vector<LayoutSubstitute> substitutes;
};

// The groups with at least one change (Caps Lock off or on), in the order of
// the output line. Tracks whose output is off send nothing and are not checked.
std::vector<LayoutCheckGroup> CheckLayout(const TemplateRecord& record, const HostLayout& layout,
                                          const CardSwipe& sample);
// With Caps Lock off; capsLock: also the changes that only Caps Lock makes.
bool AnyFailure(const std::vector<LayoutCheckGroup>& groups, bool capsLock = false);
