// Exception, the root of the class library's exceptions, and the family the program meets:
// stream, file, resource, registry and allocation failures. Messages are Shift-JIS.
#pragma once

#include <exception>
#include <string>

// Also a std::exception, so that anything that reports those (a test runner) shows the message.
class Exception : public std::exception {
public:
    explicit Exception(std::string Msg) : FMessage(std::move(Msg)) {}
    virtual ~Exception() = default;
    Exception(const Exception&) = default;
    Exception& operator=(const Exception&) = default;

    const std::string& Message() const { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

class EStreamError : public Exception {
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    EReadError();
    explicit EReadError(std::string Msg) : EStreamError(std::move(Msg)) {}
};
class EWriteError : public EStreamError {
public:
    EWriteError();
};
class EFCreateError : public EStreamError {
public:
    // FileName is the full path as the program formed it.
    explicit EFCreateError(const std::string& FileName);
};
class EFOpenError : public EStreamError {
public:
    explicit EFOpenError(const std::string& FileName);
};
class EResNotFound : public Exception {
public:
    explicit EResNotFound(const std::string& ResName);
};
class EOutOfMemory : public Exception {
public:
    EOutOfMemory();
};
class ERegistryException : public Exception {
    using Exception::Exception;
};
