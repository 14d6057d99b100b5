// The exception types the player core throws: misuse (LOGIC_ERROR, INVALID_ARGUMENT) and
// device or file failures (RUNTIME_ERROR). They carry one text, usually a DebugInfo text, and
// reach the host unchanged, so they are plain copyable values that also satisfy
// std::exception for hosts that catch only that.
#pragma once

#include <exception>
#include <string>

class EXCEPTION : public std::exception
{
public:
    explicit EXCEPTION(const char* text);
    explicit EXCEPTION(const std::string& text);
    EXCEPTION(const EXCEPTION&) = default;
    EXCEPTION& operator=(const EXCEPTION&) = default;
    ~EXCEPTION() override;

    const char* what() const noexcept override { return text_.c_str(); }
    const std::string& Text() const noexcept { return text_; }

private:
    std::string text_;
};

class LOGIC_ERROR : public EXCEPTION
{
public:
    using EXCEPTION::EXCEPTION;
    ~LOGIC_ERROR() override;
};

class RUNTIME_ERROR : public EXCEPTION
{
public:
    using EXCEPTION::EXCEPTION;
    ~RUNTIME_ERROR() override;
};

class INVALID_ARGUMENT : public EXCEPTION
{
public:
    using EXCEPTION::EXCEPTION;
    ~INVALID_ARGUMENT() override;
};
