#include "crypto/SystemLibrary.h"

#include <dlfcn.h>

bool SystemLibrary::Open() {
    // RTLD_LOCAL: the library's symbols stay out of the process's global scope, where every
    // later lookup would have to pass them.
    handle_ = ::dlopen(soname_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = ::dlerror();
        error_ = soname_ + " cannot be loaded: " + (reason != nullptr ? reason : "unknown error");
        return false;
    }
    return true;
}

void* SystemLibrary::Find(const char* name) {
    void* entry = handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
    if (entry == nullptr && missing_.empty()) {
        missing_ = name;
    }
    return entry;
}
