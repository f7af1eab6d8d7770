// Our own compound-file (structured storage) reader and writer: a tree of storages and
// streams inside one file, in the format other structured-storage tools read and write.
//
// Names: every element name in this interface is UTF-8. Inside the file names are UTF-16,
// 1 to 31 code units, without '/', '\\', ':' or '!', and unique within their storage under
// the format's comparison (shorter first, then code unit by code unit after upper-casing;
// upper-casing covers ASCII and Latin-1). Names read from a file that are not valid UTF-16
// come back with U+FFFD in place of the broken units; use the entry's `id` to reach such an
// element.
//
// Writing: streams are written sequentially, whole or in pieces (a piece may be copied from
// another file without passing through memory); stream data goes to the file as it arrives, only
// the directory, the allocation tables and (in chunks) the small-stream area are built in memory,
// and the tables are written at the end by Commit(). Files up to 2 GB use 512-byte sectors (version
// 3); larger ones 4096-byte sectors (version 4), chosen from the size announced in
// CompoundWriteOptions before the first byte is written.
//
// Reading: the whole structure (header, allocation tables, directory, every stream's sector
// chain) is checked when the file is opened; nothing in the file is trusted. A damaged
// directory link is ignored (the element it leads to is not listed), a stream whose chain is
// broken, too short, cyclic or shared with another stream is listed but cannot be read
// (ReadStream returns Corrupt). The file stays open and locked (exclusive advisory lock,
// flock) until Close() or destruction: a second open of the same file, from this process or
// another, gets ShareViolation. Once open, the const operations (List, Find, ReadStream) and
// cursors may run on several threads at once; Open and Close may not overlap with anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Results of every compound-file operation. The first group are the open results a storage
// turns into its reason texts; the rest come from writing and from reading single elements.
enum class CompoundResult {
    Ok = 0,
    FileNotFound,     // the file does not exist (its folder does)
    PathNotFound,     // a folder on the path does not exist or is not a folder
    TooManyOpenFiles, // the process or the system ran out of file descriptors
    AccessDenied,     // no permission to open (or create) the file
    ShareViolation,   // another open of the file (this process or another) holds its lock
    LockViolation,    // the lock could not be taken for another reason than contention
    NotEnoughMemory,  // an allocation failed
    NotCompoundFile,  // the file exists but is not a readable compound file
    InvalidName,      // empty or over-long path, or an element name that breaks the rules
    Unknown,          // any other failure of the operating system
    // Elements and writing.
    NotFound,      // no element of that name (or id) in the storage, or wrong kind of element
    AlreadyExists, // the storage already holds an element of that name
    Corrupt,       // the element's data cannot be read: broken, short or shared sector chain
    DiskFull,      // the disk or the quota is full
    WriteFault,    // any other write failure; the writer stays failed until Abort/destruction
    TooLarge,      // the file would outgrow its format (announce large files up front)
    InvalidState,  // writer used before Create/Attach or after Commit/failure; reader not open
};

// A short English name of a result, for logs and test messages ("ShareViolation").
const char* CompoundResultName(CompoundResult result);

// Maps an errno value of open(2), creat(2) or flock(2) to an open result.
CompoundResult CompoundResultFromErrno(int error);

enum class CompoundEntryType : uint8_t { Storage = 1, Stream = 2, Root = 5 };

// One element of a storage, as listed by CompoundReader::List.
struct CompoundEntry {
    std::string name;       // UTF-8
    CompoundEntryType type; // Storage or Stream (the root is never a child)
    uint64_t size = 0;      // stream length in bytes; 0 for storages
    uint32_t id = 0;        // directory index: pass it to List, Find or ReadStream
    bool IsStorage() const { return type != CompoundEntryType::Stream; }
};

// ---------------------------------------------------------------------------------------
// Reader
// ---------------------------------------------------------------------------------------
// How an open reader holds its file: with the exclusive lock of a program that may write the
// file back, or with no lock for a reader that only reads (a save replaces the file whole, so
// such a reader always sees a whole file, the old or the new one).
enum class CompoundLock { Exclusive, None };

// The bytes of a compound file that is not stored as it is (sealed inside another file, for
// example), readable at any offset. Reads may come from several threads at once.
class CompoundSource {
public:
    virtual ~CompoundSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset` (inside Size()); false on any failure.
    virtual bool ReadAt(uint64_t offset, uint8_t* out, size_t size) const = 0;
};

class CompoundReader {
public:
    // The root storage's id.
    static constexpr uint32_t kRoot = 0;

    CompoundReader();
    ~CompoundReader();
    CompoundReader(const CompoundReader&) = delete;
    CompoundReader& operator=(const CompoundReader&) = delete;

    // Opens the file read-only, takes its exclusive lock unless told not to (never waits: a
    // held lock gives ShareViolation) and checks its structure. Any other result leaves the
    // reader closed.
    CompoundResult Open(const std::string& path, CompoundLock lock = CompoundLock::Exclusive);
    // Reads from an already open, readable descriptor; `takeOwnership` closes it on Close().
    // The lock is taken on this descriptor like Open does.
    CompoundResult OpenFd(int fd, bool takeOwnership, CompoundLock lock = CompoundLock::Exclusive);
    // Reads from bytes in memory (no file, no lock); for checks of received data and fuzzing.
    CompoundResult OpenBytes(std::vector<uint8_t> bytes);
    // Reads through `source`, which the reader keeps while it is open; whoever made the
    // source holds its file's lock.
    CompoundResult OpenSource(std::shared_ptr<const CompoundSource> source);
    // Releases the file and its lock. Safe to call when closed.
    void Close();
    bool IsOpen() const;

    // 3 (512-byte sectors) or 4 (4096-byte sectors); 0 when closed.
    int Version() const;

    // The elements of a storage in directory order (the format's sorted order), one
    // CompoundEntry each. `storage` is kRoot or the id of a storage entry.
    CompoundResult List(uint32_t storage, std::vector<CompoundEntry>& out) const;
    // Number of elements of a storage (0 when `storage` is not a storage).
    size_t ChildCount(uint32_t storage) const;
    // Looks a child up by name (UTF-8, the format's case-insensitive comparison).
    CompoundResult Find(uint32_t storage, std::string_view name, CompoundEntry& out) const;
    // Reads the whole stream into `out` (resized to the stream's size; a buffer reused from
    // read to read keeps its pages).
    CompoundResult ReadStream(uint32_t stream, std::vector<uint8_t>& out) const;

    class Cursor;

private:
    struct State;
    // Makes the reader's state, lets `fill` say where the file's bytes are, and checks the
    // structure; the reader stays closed when that fails.
    CompoundResult OpenWith(const std::function<void(State&)>& fill);
    std::unique_ptr<State> state_;
};

class CompoundWriter;

// Reads one stream of an open reader piece by piece, for streams too large to hold whole.
// Each cursor belongs to one thread; any number of cursors may read one reader at once. The
// reader must stay open while its cursors are used.
class CompoundReader::Cursor {
public:
    // NotFound for an id that is no stream, Corrupt for a stream whose chain is broken.
    CompoundResult Open(const CompoundReader& reader, uint32_t stream);
    uint64_t Size() const { return size_; }
    uint64_t Position() const { return pos_; }
    // Moves to `offset` (at most Size()); moving back starts again from the stream's start.
    CompoundResult Seek(uint64_t offset);
    // Reads the next `size` bytes (Corrupt past the stream's end, Unknown on a read error).
    CompoundResult Read(uint8_t* out, size_t size);
    // Copies the next `size` bytes into the stream `writer` is writing, from file to file
    // without passing through this process where the system allows it.
    CompoundResult CopyTo(CompoundWriter& writer, uint64_t size);

private:
    // The next piece of the stream that lies in one run of the file, at most `most` bytes.
    void NextRun(uint64_t most, uint64_t& fileOffset, uint64_t& length);

    const State* state_ = nullptr;
    uint32_t stream_ = 0;
    uint64_t size_ = 0;
    uint64_t pos_ = 0;
    uint32_t sector_ = 0;        // the sector holding pos_ (large streams)
    std::vector<uint8_t> small_; // a small stream, read whole on Open
};

// ---------------------------------------------------------------------------------------
// Writer
// ---------------------------------------------------------------------------------------
struct CompoundWriteOptions {
    // The expected total of all stream bytes. Above about 2 GB the writer uses 4096-byte
    // sectors from the start; a version 3 file that would outgrow 2 GB fails with TooLarge.
    uint64_t expectedSize = 0;
    // Force a version (3 or 4); 0 chooses by expectedSize.
    int version = 0;
    // Commit() ends with fsync. Off for scratch files and benchmarks; a caller that hands in
    // its own descriptor usually syncs itself and may turn it off.
    bool sync = true;
};

// Where a compound file goes when it is not written to a descriptor as it is (sealed into
// another file, for example). The bytes arrive in file order, except the header at the very
// start, which is written again over its place when everything else is written.
class CompoundOutput {
public:
    virtual ~CompoundOutput() = default;
    // Writes `size` bytes at `offset`; 0 or an errno value.
    virtual int WriteAt(uint64_t offset, const uint8_t* data, size_t size) = 0;
    // Everything is written and the file is `size` bytes long; 0 or an errno value.
    virtual int Finish(uint64_t size) = 0;
};

class CompoundWriter {
public:
    static constexpr uint32_t kRoot = 0;

    CompoundWriter();
    ~CompoundWriter(); // without Commit(): Abort()
    CompoundWriter(const CompoundWriter&) = delete;
    CompoundWriter& operator=(const CompoundWriter&) = delete;

    // Creates (or replaces) the file at `path`, mode 0600 for a new file. The file is locked
    // like CompoundReader::Open before it is truncated, so a file another reader or writer
    // holds gives ShareViolation and stays untouched.
    CompoundResult Create(const std::string& path, const CompoundWriteOptions& options = {});
    // Writes into an already open, writable descriptor from offset 0 (for example an unnamed
    // temporary file); the descriptor is not closed, not locked, and is truncated to the
    // file's length by Commit().
    CompoundResult Attach(int fd, const CompoundWriteOptions& options = {});
    // Writes into `output`, which must outlive the writer; bytes copied from another file
    // pass through memory. options.sync is left to the output's owner.
    CompoundResult AttachOutput(CompoundOutput& output, const CompoundWriteOptions& options = {});

    // Adds an empty storage named `name` to the storage `parent` (kRoot or an id given by an
    // earlier CreateStorage) and returns its id in `id`.
    CompoundResult CreateStorage(uint32_t parent, std::string_view name, uint32_t* id = nullptr);
    // Adds a stream with the given bytes to the storage `parent`. The bytes are written (or
    // queued for the small-stream area, under 4096 bytes) before the call returns.
    CompoundResult WriteStream(uint32_t parent, std::string_view name, const void* data,
                               size_t size);

    // A stream written in pieces: Begin names it and announces its size, the Append calls
    // add exactly that many bytes in order, End closes it. Nothing else may be written
    // meanwhile. AppendFrom copies bytes from another file (copy_file_range, which clones on
    // file systems that can, or reads and writes).
    CompoundResult BeginStream(uint32_t parent, std::string_view name, uint64_t size);
    CompoundResult AppendStream(const void* data, size_t size);
    CompoundResult AppendStreamFrom(int fd, uint64_t offset, uint64_t size);
    CompoundResult EndStream();

    // Writes the small-stream area, the directory and the allocation tables, then the
    // header, and (with options.sync) syncs the file. After Commit the writer is finished.
    CompoundResult Commit();
    // Stops writing; the file holds no valid compound file. A descriptor from Attach stays
    // open; a file from Create is closed (not removed).
    void Abort();

    // Bytes written to the file so far (data, then tables).
    uint64_t BytesWritten() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
