#include "base/FileErrors.h"

#include <cerrno>
#include <climits>
#include <system_error>

std::string FileErrorMessage(int error) {
    switch (error) {
    case 0:
        return "Unknown error";
    case kErrorDiskFull:
    case ENOSPC:
        return "No space left on device";
    case EDQUOT:
        return "Disk quota exceeded";
    case kErrorSharingViolation:
        return "The file is in use by another process";
    case kErrorNotRegularFile:
        return "Not a regular file (a device, pipe or socket)";
    case kErrorUntrustedLink:
        return "Refusing to follow a symbolic link that another user owns in a shared folder";
    case kErrorLinkLoop:
    case ELOOP:
        return "Too many levels of symbolic links";
    case kErrorSymbolicLink:
        return "It is a symbolic link, and links are not followed here";
    case kErrorPathTooLong:
        return "The path would be longer than the " + std::to_string(PATH_MAX - 1) +
               " bytes a path can hold";
    case kErrorFolderMoved:
        return "The folder was moved or replaced while it was written into";
    case kErrorDamagedSource:
        return "The item is damaged in the storage and cannot be read";
    case EISDIR:
        return "Is a directory";
    default:
        break;
    }
    if (error > 0 && error < kFileErrorBase) {
        return std::generic_category().message(error);
    }
    return "Unknown error " + std::to_string(error);
}
