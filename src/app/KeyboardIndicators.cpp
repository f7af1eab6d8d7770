#include "app/KeyboardIndicators.h"

#include <QGuiApplication>

// Last: the X headers define macros (None, Status, Bool) that clash with Qt's names.
#include <X11/XKBlib.h>

KeyboardIndicatorState ReadKeyboardIndicators() {
    KeyboardIndicatorState state;
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->display() == nullptr) {
        return state;
    }
    unsigned int bits = 0;
    if (XkbGetIndicatorState(x11->display(), XkbUseCoreKbd, &bits) != Success) {
        return state;
    }
    // The conventional indicator order of X keyboards: Caps, Num, Scroll.
    state.caps = (bits & 0x1) != 0;
    state.num = (bits & 0x2) != 0;
    state.scroll = (bits & 0x4) != 0;
    return state;
}
