#include "app/KeyboardIndicators.h"

#include <dlfcn.h>

#include <QGuiApplication>

namespace {
// XkbGetIndicatorState(Display*, unsigned int device, unsigned int* state), looked up at run
// time so the program neither links nor needs the X libraries elsewhere.
using GetIndicatorState = int (*)(void*, unsigned int, unsigned int*);
constexpr unsigned int kXkbUseCoreKbd = 0x0100;

GetIndicatorState Resolve() {
    static GetIndicatorState fn = [] {
        void* lib = ::dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
        if (lib == nullptr) {
            lib = ::dlopen("libX11.so.6", RTLD_LAZY);
        }
        return lib != nullptr
                   ? reinterpret_cast<GetIndicatorState>(::dlsym(lib, "XkbGetIndicatorState"))
                   : nullptr;
    }();
    return fn;
}
} // namespace

KeyboardIndicatorState ReadKeyboardIndicators() {
    KeyboardIndicatorState state;
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->display() == nullptr) {
        return state;
    }
    const GetIndicatorState fn = Resolve();
    unsigned int bits = 0;
    if (fn == nullptr || fn(x11->display(), kXkbUseCoreKbd, &bits) != 0) {
        return state;
    }
    // The conventional indicator order of X keyboards: Caps, Num, Scroll.
    state.caps = (bits & 0x1) != 0;
    state.num = (bits & 0x2) != 0;
    state.scroll = (bits & 0x4) != 0;
    return state;
}
