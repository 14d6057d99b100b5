// Recorder parameter files (.vrp): section "Common", key "VarkParams", the 184 record bytes
// as upper-case hex pairs plus a checksum byte. Loading a file that is not valid leaves the
// record unchanged.
#pragma once

#include "device/vark_params.h"
#include "settings/settings.h"

namespace vark
{

class CVarkSettings : public CIniFileSettings
{
public:
    CVarkSettings(std::wstring path, VarkParams& params);

    // true only when the file held a valid 184-byte record (now in `params`).
    bool Load() override;

protected:
    void Exchange(bool saving) override;

private:
    VarkParams& params_;
    VarkParamsBytes bytes_{};
};

// Convenience wrappers; Load leaves `params` unchanged on any failure.
bool SaveParamsFile(const std::wstring& path, const VarkParams& params);
bool LoadParamsFile(const std::wstring& path, VarkParams& params);

} // namespace vark
