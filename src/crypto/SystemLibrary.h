// A system library that the program opens when it first needs it instead of at start. Every
// library named at link time is mapped and relocated before main runs, and while it is loaded
// it lengthens every later symbol lookup of the process (the graphics driver's, at start, are
// many). The cipher library and the picture codecs are needed only once a document or a
// picture is opened, so they are opened then.
//
// A library is opened at most once, from any thread, and stays open for the rest of the run:
// the entry points handed out never dangle.
#pragma once

#include <mutex>
#include <string>

class SystemLibrary {
public:
    // `soname`: the name the dynamic linker knows the library by, e.g. "libtiff.so.6".
    explicit SystemLibrary(const char* soname) : soname_(soname) {}
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // Resolves `name` into `entry` (typed as the library's own declaration, e.g.
    // decltype(&TIFFClose)). Call only from the `bind` step of OpenAndBind.
    template <typename Function> void Bind(Function& entry, const char* name) {
        entry = reinterpret_cast<Function>(Find(name));
    }
    // Opens the library and runs `bind` once, whoever calls first; later calls return the
    // first call's answer. `bind` resolves every entry point with Bind. False when the library
    // cannot be opened or an entry point is missing, with the reason in Error().
    template <typename BindAll> bool OpenAndBind(BindAll&& bind) {
        std::call_once(once_, [&] {
            if (Open()) {
                bind(*this);
                ok_ = missing_.empty();
                if (!ok_) {
                    error_ = soname_ + " has no " + missing_ + " (a library of another version?)";
                }
            }
        });
        return ok_;
    }
    const std::string& Error() const { return error_; }
    const std::string& Soname() const { return soname_; }

private:
    bool Open();
    void* Find(const char* name);

    std::string soname_;
    std::once_flag once_;
    void* handle_ = nullptr;
    bool ok_ = false;
    std::string missing_;
    std::string error_;
};
