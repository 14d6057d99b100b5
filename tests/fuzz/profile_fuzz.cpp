// The INI profile reader: any bytes as a file. The document gives back exactly the bytes it
// read; a key it accepts to set reads back as that value and leaves every other line alone.
#include "fuzz_support.h"

#include "platform/profile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace
{

// A name the way a program writes one: printable ASCII, no blanks at its ends.
std::string Name(FuzzedDataProvider& in)
{
    std::string s = in.ConsumeRandomLengthString(12);
    for (char& c : s)
        if (c < 0x21 || c > 0x7E) c = 'x';
    return s.empty() ? "k" : s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string section = Name(in), key = Name(in);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    platform::ProfileDocument doc = platform::ProfileDocument::Parse(bytes);
    FUZZ_CHECK(doc.Serialize() == bytes);
    (void)doc.Get(section, key);

    const auto before = doc.Lines();
    if (doc.Set(section, key, "value 1"))
    {
        FUZZ_CHECK(doc.Get(section, key) == std::optional<std::string>("value 1"));
        // Setting changes one line or adds at most a section line and a key line.
        const auto& after = doc.Lines();
        FUZZ_CHECK(after.size() >= before.size() && after.size() <= before.size() + 2);
        size_t i = 0, j = 0, changed = 0;
        while (i < before.size() && j < after.size())
        {
            if (before[i] == after[j])
                ++i, ++j;
            else if (after.size() - j > before.size() - i)
                ++j, ++changed; // a line put in
            else
                ++i, ++j, ++changed; // a line rewritten
        }
        changed += (before.size() - i) + (after.size() - j);
        FUZZ_CHECK(changed <= 2);
        // What was written reads back the same from the bytes.
        const platform::ProfileDocument again = platform::ProfileDocument::Parse(doc.Serialize());
        FUZZ_CHECK(again.Get(section, key) == std::optional<std::string>("value 1"));
        FUZZ_CHECK(doc.Remove(section, key));
    }
    return 0;
}
