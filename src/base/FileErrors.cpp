#include "base/FileErrors.h"

#include <cerrno>
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
