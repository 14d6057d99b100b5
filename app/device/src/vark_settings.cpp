#include "device/vark_settings.h"

namespace vark
{

CVarkSettings::CVarkSettings(std::wstring path, VarkParams& params)
    : CIniFileSettings(std::move(path), L"Common"), params_(params)
{
}

void CVarkSettings::Exchange(bool saving)
{
    if (saving) bytes_ = SerializeParams(params_);
    if (ExchangeFixedBinary(saving, L"VarkParams", bytes_.data(), bytes_.size()) && !saving)
        params_ = DeserializeParams(bytes_.data());
}

bool CVarkSettings::Load()
{
    return CIniFileSettings::Load() && ExchangeSucceeded(bytes_.data());
}

bool SaveParamsFile(const std::wstring& path, const VarkParams& params)
{
    VarkParams copy = params;
    CVarkSettings settings(path, copy);
    return settings.Save();
}

bool LoadParamsFile(const std::wstring& path, VarkParams& params)
{
    VarkParams copy = params;
    CVarkSettings settings(path, copy);
    if (!settings.Load()) return false;
    params = copy;
    return true;
}

} // namespace vark
