// The settings store: a small class family that exchanges named values with a storage
// back end. One `Exchange` lists the keys for both directions; `Load` and `Save` run it.
// Plain C++ (no Qt): the recorder link and the command-line tool use it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CSettings
{
public:
    virtual ~CSettings() = default;

    // Clears the error and the result map, exchanges (reading), validates. true.
    virtual bool Load();
    // Clears the error, validates (saving), clears the map, exchanges (saving). true.
    virtual bool Save();

    uint32_t LastError() const { return lastError_; }
    const std::wstring& LastErrorText() const { return lastErrorText_; }
    // Result of the last exchange of the variable at `address`; false when it was not
    // exchanged at all.
    bool ExchangeSucceeded(const void* address) const;

protected:
    virtual void Validate(bool saving);
    virtual void Exchange(bool saving);
    virtual bool ExchangeString(bool saving, const wchar_t* key, std::wstring& value) = 0;
    virtual bool ExchangeUInt(bool saving, const wchar_t* key, uint32_t& value) = 0;
    // When reading, the buffer changes only if the stored block is exactly `size` bytes.
    virtual bool ExchangeFixedBinary(bool saving, const wchar_t* key, void* buffer, size_t size);
    virtual bool ExchangeBinary(bool saving, const wchar_t* key, std::vector<uint8_t>& block) = 0;

    void SetError(uint32_t code, std::wstring text);
    void ClearError();
    bool Record(const void* address, bool ok);

    std::map<const void*, bool> results_;

private:
    uint32_t lastError_ = 0;
    std::wstring lastErrorText_;
};

class ProfileDocumentHolder;

// Settings kept in one section of a private-profile (INI) file. A save rewrites the file
// once, atomically, after every key has been exchanged, so a failed save leaves the old file
// as it was; the keys of other sections and other lines stay untouched.
class CIniFileSettings : public CSettings
{
public:
    // An empty path takes "<roaming folder>/Varke.ini", an empty section "Varke". A path
    // without a folder names a file in the roaming application-data folder (where Windows
    // would use its own folder).
    CIniFileSettings(std::wstring path, std::wstring section);
    ~CIniFileSettings() override;

    // false when the file cannot be opened: nothing is exchanged, every variable keeps its
    // value, and the error text tells why.
    bool Load() override;
    // false (and the error text) when the file could not be written; the old file stays.
    bool Save() override;

    const std::wstring& Path() const { return path_; }
    const std::wstring& Section() const { return section_; }

protected:
    bool ExchangeString(bool saving, const wchar_t* key, std::wstring& value) override;
    bool ExchangeUInt(bool saving, const wchar_t* key, uint32_t& value) override;
    bool ExchangeBinary(bool saving, const wchar_t* key, std::vector<uint8_t>& block) override;

private:
    std::wstring path_;
    std::wstring section_;
    ProfileDocumentHolder* doc_ = nullptr; // only while Load or Save runs
    std::string rawFile_;                  // the file's bytes, only while Load runs
};

// The binary reader of the settings store: finds `key` in `section` of a profile file's raw
// bytes and decodes its hex value (pairs of 0-9/A-F plus a checksum byte). Lines with
// invalid values are passed over; the first valid non-empty value wins; an empty value
// gives an empty block. false when no valid value was found.
bool ReadProfileBinary(const std::string& fileBytes, const std::wstring& section,
                       const std::wstring& key, std::vector<uint8_t>& block);

// `wcstoul` with base 0 as a 32-bit Windows program sees it: decimal, 0x hexadecimal or 0
// octal, an optional sign (negative values wrap), nothing after the number. false for an
// empty text, trailing characters or a magnitude above 32 bits.
bool ParseUInt32Base0(const std::wstring& text, uint32_t& value);
