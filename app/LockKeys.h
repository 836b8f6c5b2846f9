#pragma once

// The state of the three lock keys as the keyboard's indicators show it.
// All off where the windowing system cannot tell (no X11 display).
struct LockKeys {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
};

LockKeys QueryLockKeys();
