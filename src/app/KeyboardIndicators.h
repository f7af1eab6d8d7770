// The state of the caps-lock, num-lock and scroll-lock indicators, read from the X server's
// keyboard extension when the program runs on X11; unknown (all off) elsewhere.
#pragma once

struct KeyboardIndicatorState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

KeyboardIndicatorState ReadKeyboardIndicators();
