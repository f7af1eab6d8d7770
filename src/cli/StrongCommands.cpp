// harden, weaken and info: strong protection put on, taken off and shown, for every kind of
// file. They wrap and unwrap the bytes as they are, after checking the password the way the
// file's kind checks it.
#include "cli/CliCommon.h"

#include "base/FileNames.h"
#include "crypto/StrongFile.h"
#include "documents/DocumentKinds.h"
#include "storage/StorageFile.h"
#include "storage/StorageSave.h"

#include <charconv>
#include <iostream>

namespace {

const char* const kAnyKind = "a .ovs, .ovt, .etx, .ovd or .ovf file";

// The kind and stored form `path` names by its extension; null for none of ours.
const DocumentKind* KindOf(const std::string& path) {
    const DocumentKind* kind = DocumentKindOfPath(path);
    return kind != nullptr && kind->documentClass != DocumentClass::Browser ? kind : nullptr;
}

// An output must name the same kind and form as its input, or it would not open as what it
// holds.
int CheckSameKind(const std::string& in, const std::string& out) {
    const DocumentKind* a = KindOf(in);
    const DocumentKind* b = KindOf(out);
    if (a == b) {
        return kExitOk;
    }
    return UsageFail("the output " + out + " must have the extension of " + in + " (\"" +
                     a->extension + "\"), which names what the file holds");
}

// Opens with the password the way the kind opens: the whole document decrypted, or the
// storage's password check. Returns kExitOk or the command's failure.
int CheckCompatiblePassword(const std::string& path, const DocumentKind& kind,
                            std::string_view password) {
    if (kind.documentClass == DocumentClass::Storage) {
        const StoragePasswordCheck check = CheckStoragePassword(path, password);
        switch (check.status) {
        case StoragePasswordStatus::Ok:
            return kExitOk;
        case StoragePasswordStatus::OpenFailed:
            return Fail(check.openResult == CompoundResult::NotCompoundFile ? kExitDecryptFailed
                                                                            : kExitFile,
                        StorageOpenErrorText(path, check.openResult));
        case StoragePasswordStatus::NoInfoStream:
            return Fail(kExitDecryptFailed,
                        path + " is not an encrypted storage: it has no info stream");
        case StoragePasswordStatus::DecryptFailed:
        case StoragePasswordStatus::WrongName:
            break;
        }
        return Fail(kExitDecryptFailed, "Failed to decrypt the file: " + FileNameOf(path));
    }
    Bytes plain;
    int error = 0;
    const LoadTextStatus status =
        LoadEncryptedUtf16(path, password, BlobFormOf(kind.form), plain, &error);
    SecureWipe(plain.data(), plain.size());
    return status == LoadTextStatus::Text ? kExitOk : LoadFail(path, status, error);
}

int Harden(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    std::optional<std::string> out;
    strong::KdfParams params;
    if (!TakeOption(args, "-o", out)) {
        return kExitUsage;
    }
    if (const int code = TakeKdfOptions(args, params); code != kExitOk) {
        return code;
    }
    if (args.size() != 1) {
        return UsageFail("harden takes one FILE and perhaps -o OUT");
    }
    const std::string& path = args[0];
    const DocumentKind* kind = KindOf(path);
    if (kind == nullptr) {
        return UsageFail(path + " is not " + kAnyKind);
    }
    if (out) {
        if (const int code = CheckSameKind(path, *out); code != kExitOk) {
            return code;
        }
    }
    SecretBuffer password;
    if (const int code = ReadPasswordForFile(options, path, password); code != kExitOk) {
        return code;
    }
    if (strong::FileHasMagic(path)) {
        return Fail(kExitUsage, path + " has strong protection already");
    }
    if (const int code = CheckCompatiblePassword(path, *kind, password.View()); code != kExitOk) {
        return code;
    }
    strong::Key key;
    if (const strong::Status s = key.Derive(password.View(), params); s != strong::Status::Ok) {
        return Fail(kExitDecryptFailed, strong::StatusMessage(s));
    }
    password.Clear();
    // A storage hardened in place keeps its previous file as its backup, as every storage
    // save does.
    const bool inPlace = !out || SameFile(path, *out);
    const std::string backup = StorageBackupPath(path);
    const bool keepBackup = inPlace && kind->documentClass == DocumentClass::Storage;
    int error = 0;
    const strong::Status s =
        strong::WrapFile(path, out.value_or(path), key, &error, keepBackup ? &backup : nullptr);
    if (s == strong::Status::ReadFailed) {
        return FileFail(path, error, "read");
    }
    return s == strong::Status::Ok ? kExitOk : FileFail(out.value_or(path), error, "write");
}

int Weaken(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    std::optional<std::string> out;
    if (!TakeOption(args, "-o", out)) {
        return kExitUsage;
    }
    if (args.size() != 1 || !out) {
        return UsageFail("weaken takes FILE and -o OUT: the file with strong protection stays "
                         "as it is");
    }
    const std::string& path = args[0];
    if (KindOf(path) == nullptr) {
        return UsageFail(path + " is not " + kAnyKind);
    }
    if (const int code = CheckSameKind(path, *out); code != kExitOk) {
        return code;
    }
    if (SameFile(path, *out)) {
        return UsageFail("the output " + *out + " is the input file; write to another file");
    }
    SecretBuffer password;
    if (const int code = ReadPasswordForFile(options, path, password); code != kExitOk) {
        return code;
    }
    if (!strong::FileHasMagic(path)) {
        return Fail(kExitUsage, path + " has no strong protection");
    }
    int error = 0;
    const strong::Status s = strong::UnwrapFile(path, *out, password.View(), &error);
    password.Clear();
    switch (s) {
    case strong::Status::Ok:
        return kExitOk;
    case strong::Status::ReadFailed:
        return FileFail(path, error, "read");
    case strong::Status::WriteFailed:
        return FileFail(*out, error, "write");
    default:
        return LoadFail(path, LoadTextStatus::DecryptFailed, error);
    }
}

int Info(const CliOptions& options) {
    if (options.args.size() != 1) {
        return UsageFail("info takes one FILE");
    }
    const std::string& path = options.args[0];
    const DocumentKind* kind = KindOf(path);
    if (kind == nullptr) {
        return UsageFail(path + " is not " + kAnyKind);
    }
    strong::FileSource source;
    if (!source.Open(path)) {
        return FileFail(path, source.LastError(), "open");
    }
    std::cout << "file: " << path << '\n' << "kind: " << DocStringField(kind->docString, 3) << '\n';
    strong::Reader reader;
    const strong::Status s = reader.Open(source);
    if (s == strong::Status::NotStrong ||
        (s == strong::Status::Truncated && source.Size() < strong::kMagic.size())) {
        std::cout << "protection: compatible (opens in the Windows edition)\n";
        return kExitOk;
    }
    if (s != strong::Status::Ok && s != strong::Status::Damaged) {
        std::cout.flush();
        return Fail(kExitDecryptFailed, path + ": " + strong::StatusMessage(s));
    }
    const strong::Header& h = reader.GetHeader();
    std::cout << "protection: strong (opens only in this program)\n"
              << "key derivation: Argon2id, " << h.params.passes << " passes, "
              << h.params.memoryKiB / 1024.0 << " MiB\n"
              << "cipher: XChaCha20-Poly1305 in chunks of " << h.chunkBytes << " bytes\n";
    if (s == strong::Status::Damaged) {
        std::cout.flush();
        return Fail(kExitDecryptFailed, path + ": the file is damaged: its chunks are cut short");
    }
    std::cout << "chunks: " << reader.ChunkCount() << '\n'
              << "inner file bytes: " << reader.PlainSize() << '\n';
    return kExitOk;
}

// A whole number in [low, high] for an option.
bool ParseBounded(const std::string& text, uint32_t low, uint32_t high, uint32_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

} // namespace

int TakeKdfOptions(std::vector<std::string>& args, strong::KdfParams& params) {
    std::optional<std::string> passes;
    std::optional<std::string> memory;
    if (!TakeOption(args, "--kdf-passes", passes) || !TakeOption(args, "--kdf-memory", memory)) {
        return kExitUsage;
    }
    if (passes && !ParseBounded(*passes, strong::kMinPasses, strong::kMaxPasses, params.passes)) {
        return UsageFail("--kdf-passes takes a number from 1 to 64");
    }
    uint32_t mib = params.memoryKiB / 1024;
    if (memory &&
        !ParseBounded(*memory, strong::kMinMemoryKiB / 1024, strong::kMaxMemoryKiB / 1024, mib)) {
        return UsageFail("--kdf-memory takes a number of MiB from 8 to 4096");
    }
    params.memoryKiB = mib * 1024;
    return kExitOk;
}

const CliCommand kHardenCommand = {"harden",
                                   "[--password-file F | --password-stdin] harden FILE [-o OUT] "
                                   "[--kdf-passes N] [--kdf-memory MiB]",
                                   Harden};
const CliCommand kWeakenCommand = {
    "weaken", "[--password-file F | --password-stdin] weaken FILE -o OUT", Weaken};
const CliCommand kInfoCommand = {"info", "info FILE", Info};
