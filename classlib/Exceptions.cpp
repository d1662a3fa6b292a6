#include "classlib/Exceptions.h"

#include "classlib/Messages.h"

EReadError::EReadError() : EStreamError(Messages::SReadError) {}
EWriteError::EWriteError() : EStreamError(Messages::SWriteError) {}
EFCreateError::EFCreateError(const std::string& FileName)
    : EStreamError(Format(Messages::SFCreateError, FileName)) {}
EFOpenError::EFOpenError(const std::string& FileName)
    : EStreamError(Format(Messages::SFOpenError, FileName)) {}
EResNotFound::EResNotFound(const std::string& ResName)
    : Exception(Format(Messages::SResNotFound, ResName)) {}
EOutOfMemory::EOutOfMemory() : Exception(Messages::SOutOfMemory) {}
