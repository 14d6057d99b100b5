#include "transfer/file_data_flow.h"

#include "platform/text.h"
#include "transfer/tril_calls.h"

#include <sys/stat.h>

namespace vark
{

bool CFileDataFlow::Play()
{
    return Player() && Player()->Play(1);
}

void CFileDataFlow::Stop()
{
    if (Player()) Player()->Play(0);
}

void CFileDataFlow::Pause(bool on)
{
    if (!Player()) return;
    if (on)
        Player()->Pause();
    else
        Player()->Play(1);
}

void CFileDataFlow::SetRing(int32_t seconds)
{
    if (!Player()) return;
    if (seconds != 0)
        Player()->SetRing(seconds, 1);
    else
        Player()->SetRing(0, 0);
}

void CFileDataFlow::SetPosition(int32_t ms)
{
    if (Player()) Player()->SetPosition(ms);
}

bool CFileDataFlow::Open()
{
    if (!Player() || !Player()->OpenFile(path_.c_str())) return false;
    // Only the size is wanted: no access to the contents, and only a file that exists.
    struct stat st
    {
    };
    if (::stat(platform::WideToUtf8(path_).c_str(), &st) == 0 && S_ISREG(st.st_mode))
    {
        Post(player_code::kSize, static_cast<platform::LPARAM>(st.st_size >> 10));
        Post(player_code::kName, reinterpret_cast<platform::LPARAM>(path_.c_str()));
    }
    return true;
}

void CFileDataFlow::Close()
{
    if (Player()) Player()->OpenFile(nullptr);
}

void CFileDataFlow::SetStretch(int32_t value)
{
    if (Player()) Player()->SetStretch(value);
}

} // namespace vark
