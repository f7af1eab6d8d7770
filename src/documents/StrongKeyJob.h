// Derives a strong-protection key on a worker thread: about a second of Argon2id, during which
// the window stays busy (the busy protocol's progress display) but keeps repainting. The
// worker works on its own copy of the password and hands the key back to the user-interface
// thread, where the callback runs unless its document has gone meanwhile.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "crypto/SecretBuffer.h"
#include "crypto/StrongEnvelope.h"

struct StrongKeyRequest {
    SecretBuffer password;
    // Not empty: the key of this strong file, for the salt and parameters of its header and
    // checked against its key check. Empty: a new key with a new salt and `params`.
    std::string path;
    strong::KdfParams params;
};

struct StrongKeyResult {
    strong::Status status = strong::Status::Ok;
    strong::Key key;
    int error = 0; // the errno of a file that could not be read
};

class CStrongKeyJob {
public:
    // While `alive` can be locked on the user-interface thread, `done` runs there with the
    // result; after the owner dropped it, the result is wiped unseen.
    static void Start(StrongKeyRequest request, std::weak_ptr<void> alive,
                      std::function<void(StrongKeyResult&)> done);

    // Test seam: runs on the worker thread before each derivation, so a test can hold the
    // worker and watch the window meanwhile. Set it only while no job runs.
    static void SetWorkerHook(std::function<void()> hook);
};
