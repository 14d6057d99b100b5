// Base of the classes that can report what they are (for journals and diagnostics).
#pragma once

#include <string>

class CL_INFO
{
public:
    virtual ~CL_INFO();
    // The class's name by default; derived classes may say more (or less).
    virtual std::string ClassInfo() const;
};
