#include "transfer/record_row.h"

#include "platform/text.h"
#include "res/string_ids.h"

#include <cmath>
#include <cstdio>

namespace vark
{

std::wstring DurationText(const platform::AutoSpan& duration)
{
    const double ms = duration.IsValid() ? duration.TotalSeconds() * 1000.0 : 0.0;
    const int64_t seconds = static_cast<int64_t>(ms + 500.0) / 1000;
    wchar_t buf[48];
    std::swprintf(buf, 48, L"%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return buf;
}

std::wstring SourceNames(uint32_t s, bool stereo, const StringLookup& text)
{
    uint32_t l = s, r = s;
    if (s & (1u | 8u)) l &= ~4u;
    if (s & (2u | 16u)) r &= ~4u;
    if (!stereo) r = 0;
    if ((l | r) == 4) r = 0;
    std::wstring out;
    const auto add = [&](bool present, uint32_t id)
    {
        if (!present) return;
        if (!out.empty()) out += L", ";
        out += text(id);
    };
    add(l & 4, res::ids::kInternalMic);
    add(l & 8, res::ids::kLeftExternalMic);
    add(l & 1, res::ids::kLeftLinearInput);
    add(r & 4, res::ids::kInternalMic);
    add(r & 2, res::ids::kRightExternalMic);
    add(r & 16, res::ids::kRightLinearInput);
    return out;
}

RecordRow RecordRowTexts(int index, const RecordInfo& info, const StringLookup& text,
                         const DateTimeFormatter& formatDate)
{
    RecordRow row;
    row[0] = std::to_wstring(index + 1);
    row[1] = info.markL ? text(res::ids::kMarkL) : L"";
    if (info.marks & kMarkBitA) row[2] += text(res::ids::kMarkA);
    if (info.marks & kMarkBitT) row[2] += text(res::ids::kMarkT);
    row[3] = formatDate(info.start);
    row[4] = DurationText(info.duration);
    row[5] = info.rate16k ? L"16000" : L"8000";
    row[6] = text(info.compressed ? res::ids::kYes : res::ids::kNo);
    row[7] = text(info.stereo ? res::ids::kStereo : res::ids::kMono);
    row[8] = SourceNames(info.sources, info.stereo != 0, text);
    return row;
}

RecordRow DriveRecordRowTexts(int index, const drive::DriveRecord& record, const StringLookup& text,
                              const DateTimeFormatter& formatDate)
{
    RecordRow row;
    row[0] = std::to_wstring(index + 1);
    row[3] = formatDate(record.start);
    // the folder it sits in (FOLDER_A) and its name, as the recorder's own display shows them
    const size_t slash = record.folder.rfind('/');
    const std::string folder =
        slash == std::string::npos ? record.folder : record.folder.substr(slash + 1);
    row[8] = platform::Utf8ToWide(folder.empty() ? record.name : folder + "/" + record.name);
    if (!record.readable)
    {
        row[6] = text(res::ids::kCannotBeRead);
        return row;
    }
    row[4] = DurationText(record.duration);
    row[5] = std::to_wstring(record.rate);
    // every PCM layout is what the user knows as PCM
    row[6] = platform::Utf8ToWide(record.codec.rfind("pcm_", 0) == 0 ? "PCM" : record.codec);
    row[7] = record.channels == 1   ? text(res::ids::kMono)
             : record.channels == 2 ? text(res::ids::kStereo)
                                    : std::to_wstring(record.channels);
    return row;
}

uint32_t StartFromTextId(drive::StartFrom from)
{
    switch (from)
    {
    case drive::StartFrom::kBext:
        return res::ids::kStartFromBext;
    case drive::StartFrom::kTags:
        return res::ids::kStartFromTags;
    case drive::StartFrom::kName:
        return res::ids::kStartFromName;
    case drive::StartFrom::kModified:
        break;
    }
    return res::ids::kStartFromModified;
}

} // namespace vark
