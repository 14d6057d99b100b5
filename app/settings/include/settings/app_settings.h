// The program settings (section "Common" of Varke.ini) and the user-interface language.
#pragma once

#include "settings/settings.h"

#include <cstdint>
#include <string>

class CAppSettings : public CIniFileSettings
{
public:
    CAppSettings(std::wstring path, std::wstring section = L"Common");

    std::wstring OutDeviceName;
    std::wstring LastExportDirectory;
    std::wstring LastOpenWaveDirectory;
    std::wstring LastOpenDsgDirectory;
    std::wstring LastOpenVrpDirectory;
    uint32_t RingLength = 5;
    uint32_t PauseLength = 1;
    uint32_t Language = 0;
    uint32_t DigitalSign = 0;
    uint32_t LoadListOrder = 0;
    uint32_t LogLevel = 4;
    uint32_t LogFlags = 0;
    uint32_t PlayerOptionsWinPosX = 0;
    uint32_t PlayerOptionsWinPosY = 0;
    uint32_t SignMode = 2;
    uint32_t IgnoreTimerOverlapping = 0;
    // Copy to disk also writes open signatures (FILE.minisig); 0 or 1.
    uint32_t OpenSignature = 0;
    // Copy to disk writes a Broadcast WAV "bext" chunk in each WAV file; 0 or 1.
    uint32_t BroadcastWav = 0;
    // Copy to disk writes 0 WAV or 1 FLAC files.
    uint32_t ExportFormat = 0;
    // The transcription keys: the skip step (1..30 s), the rewind on resume (0..10 s) and
    // time stamps as the time of day (1) or the position in the record (0).
    uint32_t SkipStep = 5;
    uint32_t ResumeRewind = 0;
    uint32_t TimeStampOfDay = 0;
    // The foot pedals: the middle one plays while held (1) or by presses (0); the outer ones
    // wind at this speed (2..10).
    uint32_t PedalHoldToPlay = 1;
    uint32_t PedalSpeed = 4;

    // The system's "operating system above version 5": set, the language follows the user's
    // locale whatever is stored and the Language menu is disabled. Our resource lookup follows
    // the chosen thread language, so here it is clear: a stored choice wins, and Language 0
    // follows the user's locale.
    bool followUserLanguage = false;

    // Counts completed saves; the program saves exactly once, at Exit.
    int SaveCount() const { return saveCount_; }
    bool Save() override;

protected:
    void Validate(bool saving) override;
    void Exchange(bool saving) override;

private:
    int saveCount_ = 0;
};

// The primary language identifiers the program carries resources for.
constexpr uint32_t kLangArabic = 1, kLangEnglish = 9, kLangPolish = 21, kLangPortuguese = 22,
                   kLangRussian = 25;

// Picks the language (stored value, or the user's locale when it must be followed), falling
// back to English; sets it as this thread's and the default thread locale and stores it back
// into `settings.Language`. Returns the locale identifier (1025, 1033, 1045, 1046 or 1049).
uint32_t ApplyLanguage(CAppSettings& settings);
// Sets the calling thread's locale to the one ApplyLanguage chose (worker threads do this
// first so their resources come in the same language).
void ReapplyThreadLanguage();
// The primary language of the user's locale (LC_ALL, LC_MESSAGES, LANG, in that order);
// 0 when none of them names a language we know.
uint32_t UserDefaultLanguage();
