#include "faltor/exceptions.h"

// A null text is a caller's slip; an empty message is better than a crash while throwing.
EXCEPTION::EXCEPTION(const char* text) : text_(text ? text : "") {}
EXCEPTION::EXCEPTION(const std::string& text) : text_(text) {}

// Out of line so that the type information lives in this one library: a catch in another
// shared library must match the same types.
EXCEPTION::~EXCEPTION() = default;
LOGIC_ERROR::~LOGIC_ERROR() = default;
RUNTIME_ERROR::~RUNTIME_ERROR() = default;
INVALID_ARGUMENT::~INVALID_ARGUMENT() = default;
