#include "basix/cl_info.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

CL_INFO::~CL_INFO() = default;

std::string CL_INFO::ClassInfo() const
{
    const char* raw = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(raw, nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? readable.get() : raw;
}
