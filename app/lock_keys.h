// The state of the Caps Lock, Num Lock and Scroll Lock keys, for the status
// bar's indicators.
#pragma once

#include <optional>

struct LockKeyState {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
};

// The keyboard's lock state, when the platform tells it (X11, Windows); nothing elsewhere.
std::optional<LockKeyState> QueryLockKeys();
