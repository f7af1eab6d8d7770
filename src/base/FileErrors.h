// Error codes of the file layer and the texts that explain them.
//
// A failing file operation reports an int: either an errno value from the system, or one of
// the program's own codes below. The own codes lie far above every errno value, so they can
// never be mistaken for one (strerror would name the wrong cause); FileErrorMessage() gives
// the right text for both kinds.
#pragma once

#include <string>

inline constexpr int kFileErrorBase = 0x4f560000;
// A write stopped short: the disk (or the quota, or the file size limit) is full.
inline constexpr int kErrorDiskFull = kFileErrorBase + 1;
// Another open of the file excludes ours (a writer holds it, or readers hold it against a
// writer).
inline constexpr int kErrorSharingViolation = kFileErrorBase + 2;
// The path names a device, a pipe, a socket or anything else that is not a regular file.
inline constexpr int kErrorNotRegularFile = kFileErrorBase + 3;
// The path goes through a symbolic link in a shared sticky folder (such as /tmp) that
// belongs neither to us nor to the folder's owner, so someone else may have planted it.
inline constexpr int kErrorUntrustedLink = kFileErrorBase + 4;
// Symbolic links nest too deeply, or loop.
inline constexpr int kErrorLinkLoop = kFileErrorBase + 5;
// A symbolic link stands where a folder or file of ours should be, inside a folder where
// links are not followed (an export writes only inside the folder the user chose).
inline constexpr int kErrorSymbolicLink = kFileErrorBase + 6;
// The whole path would be longer than a path can be (PATH_MAX).
inline constexpr int kErrorPathTooLong = kFileErrorBase + 7;
// A folder being written into was moved or replaced by someone else meanwhile.
inline constexpr int kErrorFolderMoved = kFileErrorBase + 8;
// What was to be written comes from a file whose part for it turned out damaged.
inline constexpr int kErrorDamagedSource = kFileErrorBase + 9;

// A short, clear text for `error` (an errno value or one of the codes above), without a
// trailing full stop: "No space left on device", "The file is in use by another process",
// "Is a directory", "Not a regular file (a device, pipe or socket)", ... 0 gives
// "Unknown error".
std::string FileErrorMessage(int error);
