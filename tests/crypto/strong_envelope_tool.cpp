// The envelope's own writer and reader on files, for the independent reader and writer in
// strong_oracle.py to check against at any plaintext size (the program's commands only wrap
// files that are documents).
//
//     strong_envelope_tool seal PASSWORD PASSES MEMORY_KIB IN OUT
//     strong_envelope_tool open PASSWORD IN OUT
#include "crypto/StrongFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const std::string verb = argc > 1 ? argv[1] : "";
    int error = 0;
    strong::Status status = strong::Status::Ok;
    if (verb == "seal" && argc == 7) {
        strong::Key key;
        status = key.Derive(argv[2], {static_cast<uint32_t>(std::atoi(argv[3])),
                                      static_cast<uint32_t>(std::atoi(argv[4]))});
        if (status == strong::Status::Ok) {
            status = strong::WrapFile(argv[5], argv[6], key, &error);
        }
    } else if (verb == "open" && argc == 5) {
        status = strong::UnwrapFile(argv[3], argv[4], argv[2], &error);
    } else {
        std::fprintf(stderr, "usage: strong_envelope_tool seal|open ...\n");
        return 2;
    }
    if (status != strong::Status::Ok) {
        std::fprintf(stderr, "%s (%d)\n", strong::StatusMessage(status).c_str(), error);
        return 1;
    }
    return 0;
}
