// What tovask-cli doctor checks for the keyboard port.
#pragma once

#include <vector>

#include "device/checkup.h"

class IKbPlatform;

// With roots (Linux): serio_raw is bound to the keyboard port (serio0), its
// device node is present and it opens. Without: the platform's keyboard-port
// access opens (Windows, the simulated reader).
std::vector<CheckResult> CheckKeyboardPort(IKbPlatform& platform, const SystemRoots* roots);
