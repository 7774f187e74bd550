#pragma once

#include <stdexcept>
#include <string>

// The program's error classes. Every error the program raises on purpose derives from Exception and
// carries a message in the program's 8-bit text; ClassName() is what the error displays name.
class Exception : public std::exception
{
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const std::string& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_message.c_str(); }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string m_message;
};

// The silent abort: handlers throw it to end an operation without any message.
class EAbort : public Exception
{
public:
    EAbort() : Exception("Operation aborted") {}
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EAbort"; }
};

// Raised when a write to the INI file fails.
class EIniFileException : public Exception
{
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EIniFileException"; }
};

// Raised for an index outside a list.
class EListError : public Exception
{
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EListError"; }
};
