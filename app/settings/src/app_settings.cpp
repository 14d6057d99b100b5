#include "settings/app_settings.h"

#include "platform/thread_locale.h"

#include <atomic>
#include <cstdlib>
#include <string_view>

CAppSettings::CAppSettings(std::wstring path, std::wstring section)
    : CIniFileSettings(std::move(path), std::move(section))
{
}

bool CAppSettings::Save()
{
    const bool ok = CIniFileSettings::Save();
    if (ok) ++saveCount_;
    return ok;
}

void CAppSettings::Exchange(bool saving)
{
    ExchangeString(saving, L"OutDeviceName", OutDeviceName);
    ExchangeString(saving, L"LastExportDirectory", LastExportDirectory);
    ExchangeString(saving, L"LastOpenWaveDirectory", LastOpenWaveDirectory);
    ExchangeString(saving, L"LastOpenDsgDirectory", LastOpenDsgDirectory);
    ExchangeString(saving, L"LastOpenVrpDirectory", LastOpenVrpDirectory);
    ExchangeUInt(saving, L"RingLength", RingLength);
    ExchangeUInt(saving, L"PauseLength", PauseLength);
    ExchangeUInt(saving, L"Language", Language);
    ExchangeUInt(saving, L"DigitalSign", DigitalSign);
    ExchangeUInt(saving, L"LoadListOrder", LoadListOrder);
    ExchangeUInt(saving, L"LogLevel", LogLevel);
    ExchangeUInt(saving, L"LogFlags", LogFlags);
    ExchangeUInt(saving, L"PlayerOptionsWinPosX", PlayerOptionsWinPosX);
    ExchangeUInt(saving, L"PlayerOptionsWinPosY", PlayerOptionsWinPosY);
    ExchangeUInt(saving, L"SignMode", SignMode);
    ExchangeUInt(saving, L"IgnoreTimerOverlapping", IgnoreTimerOverlapping);
    ExchangeUInt(saving, L"OpenSignature", OpenSignature);
    ExchangeUInt(saving, L"BroadcastWav", BroadcastWav);
    ExchangeUInt(saving, L"ExportFormat", ExportFormat);
    ExchangeUInt(saving, L"SkipStep", SkipStep);
    ExchangeUInt(saving, L"ResumeRewind", ResumeRewind);
    ExchangeUInt(saving, L"TimeStampOfDay", TimeStampOfDay);
    ExchangeUInt(saving, L"PedalHoldToPlay", PedalHoldToPlay);
    ExchangeUInt(saving, L"PedalSpeed", PedalSpeed);
}

void CAppSettings::Validate(bool)
{
    if (RingLength == 0) RingLength = 5;
    if (PauseLength >= 60) PauseLength = 59;
    if (PauseLength == 0) PauseLength = 1;
    if (DigitalSign != 0) DigitalSign = 1;
    if (OpenSignature != 0) OpenSignature = 1;
    if (BroadcastWav != 0) BroadcastWav = 1;
    if (ExportFormat > 1) ExportFormat = 0;
    if (SkipStep == 0 || SkipStep > 30) SkipStep = 5;
    if (ResumeRewind > 10) ResumeRewind = 0;
    if (TimeStampOfDay != 0) TimeStampOfDay = 1;
    if (PedalHoldToPlay != 0) PedalHoldToPlay = 1;
    if (PedalSpeed < 2 || PedalSpeed > 10) PedalSpeed = 4;
    if (LoadListOrder != 0) LoadListOrder = 1;
    if (LogLevel == 0 || LogLevel > 9) LogLevel = 4;
}

namespace
{
std::atomic<uint32_t> g_chosenLcid{platform::kLcidEnglish};

uint32_t LanguageOfLocaleName(std::string_view name)
{
    const std::string_view code = name.substr(0, name.find_first_of("_.@-"));
    if (code == "ar") return kLangArabic;
    if (code == "en" || code == "C" || code == "POSIX") return kLangEnglish;
    if (code == "pl") return kLangPolish;
    if (code == "pt") return kLangPortuguese;
    if (code == "ru") return kLangRussian;
    return 0;
}
} // namespace

uint32_t UserDefaultLanguage()
{
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"})
    {
        const char* value = std::getenv(var);
        if (value && *value) return LanguageOfLocaleName(value);
    }
    return 0;
}

uint32_t ApplyLanguage(CAppSettings& settings)
{
    uint32_t language = settings.Language;
    if (language == 0 || settings.followUserLanguage) language = UserDefaultLanguage();
    switch (language)
    {
    case kLangArabic:
    case kLangEnglish:
    case kLangPolish:
    case kLangPortuguese:
    case kLangRussian:
        break;
    default:
        language = kLangEnglish;
    }
    const uint32_t lcid = language | 0x400;
    g_chosenLcid = lcid;
    platform::SetDefaultThreadLocale(lcid);
    platform::SetThreadLocale(lcid);
    settings.Language = language;
    return lcid;
}

void ReapplyThreadLanguage()
{
    platform::SetThreadLocale(g_chosenLcid.load());
}
