#include "device/record_info.h"

#include "device/vark_params.h"

namespace vark
{

RecordInfo DecodeRecordHeader(uint32_t dataSize, uint32_t startSeconds, uint32_t headerWord,
                              int16_t serialNumber)
{
    RecordInfo info;
    info.dataSize = dataSize;
    info.rate16k = headerWord & header::kRate16k ? 1 : 0;
    info.stereo = headerWord & header::kStereo ? 1 : 0;
    info.compressed = headerWord & header::kUncompressed ? 0 : 1;
    info.marks = (headerWord & header::kMarkT ? kMarkBitT : 0) |
                 (headerWord & header::kMarkA ? kMarkBitA : 0);
    info.markL = headerWord & header::kMarkL ? 1 : 0;
    info.sources = (headerWord & header::kSourcesMask) >> header::kSourcesShift;
    info.start = RecorderTimeToDate(startSeconds);
    info.duration = platform::AutoSpan(static_cast<double>(dataSize) /
                                       (static_cast<double>(info.BytesPerSecond()) * 86400.0));
    info.serialNumber = std::to_wstring(static_cast<int>(serialNumber)); // sign-extended
    return info;
}

} // namespace vark
