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

// A library together with its table of entry points (a struct of typed function pointers that
// `bind(lib, api)` fills with SystemLibrary::Bind), opened and bound once.
template <typename Api> class SystemLibraryTable {
public:
    explicit SystemLibraryTable(const char* soname) : library_(soname) {}

    // The table, or null with the reason in `error` when the library cannot be used.
    template <typename BindAll> const Api* Get(BindAll&& bind, std::string& error) {
        if (library_.OpenAndBind([&](SystemLibrary& lib) { bind(lib, api_); })) {
            return &api_;
        }
        error = library_.Error();
        return nullptr;
    }

private:
    SystemLibrary library_;
    Api api_{};
};
