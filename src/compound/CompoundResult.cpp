// Names of compound-file results and the mapping from operating-system errors.
#include "compound/CompoundFile.h"

#include <cerrno>

const char* CompoundResultName(CompoundResult result) {
    switch (result) {
    case CompoundResult::Ok:
        return "Ok";
    case CompoundResult::FileNotFound:
        return "FileNotFound";
    case CompoundResult::PathNotFound:
        return "PathNotFound";
    case CompoundResult::TooManyOpenFiles:
        return "TooManyOpenFiles";
    case CompoundResult::AccessDenied:
        return "AccessDenied";
    case CompoundResult::ShareViolation:
        return "ShareViolation";
    case CompoundResult::LockViolation:
        return "LockViolation";
    case CompoundResult::NotEnoughMemory:
        return "NotEnoughMemory";
    case CompoundResult::NotCompoundFile:
        return "NotCompoundFile";
    case CompoundResult::InvalidName:
        return "InvalidName";
    case CompoundResult::Unknown:
        return "Unknown";
    case CompoundResult::NotFound:
        return "NotFound";
    case CompoundResult::AlreadyExists:
        return "AlreadyExists";
    case CompoundResult::Corrupt:
        return "Corrupt";
    case CompoundResult::DiskFull:
        return "DiskFull";
    case CompoundResult::WriteFault:
        return "WriteFault";
    case CompoundResult::TooLarge:
        return "TooLarge";
    case CompoundResult::InvalidState:
        return "InvalidState";
    }
    return "Unknown";
}

CompoundResult CompoundResultFromErrno(int error) {
    switch (error) {
    case 0:
        return CompoundResult::Ok;
    case ENOENT:
        return CompoundResult::FileNotFound;
    case ENOTDIR:
        return CompoundResult::PathNotFound;
    case EMFILE:
    case ENFILE:
        return CompoundResult::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return CompoundResult::AccessDenied;
    case EWOULDBLOCK:
        return CompoundResult::ShareViolation;
    case ENOLCK:
        return CompoundResult::LockViolation;
    case ENOMEM:
        return CompoundResult::NotEnoughMemory;
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return CompoundResult::InvalidName;
    case ENOSPC:
    case EDQUOT:
        return CompoundResult::DiskFull;
    default:
        return CompoundResult::Unknown;
    }
}
