// Every character a template can make the reader send, checked against a
// host's layout: the template's own texts, sentinels and separators, the
// track alphabets and the LRC alphabet, grouped by where they come from.
#pragma once

#include <string>
#include <vector>

#include "keyboard/host_layout.h"
#include "model/reader_output.h"

struct LayoutCheckGroup {
    std::string source;  // "CardPrefix", "T1StartSentinel", "track 2 data", "track 2 LRC", ...
    // The characters of the group that arrive differently; offset is the
    // character's place in the group.
    std::vector<TypedChange> changes;
    // The changes that matter: a character of the template's own texts,
    // sentinels or separators, or of the sample card's data.
    std::vector<TypedChange> failures;
};

// The groups with at least one change, in the order of the output line.
// Tracks whose output is off send nothing and are not checked.
std::vector<LayoutCheckGroup> CheckLayout(const TemplateRecord& record, const HostLayout& layout,
                                          const CardSwipe& sample);
bool AnyFailure(const std::vector<LayoutCheckGroup>& groups);
