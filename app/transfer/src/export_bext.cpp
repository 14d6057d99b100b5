#include "transfer/export_bext.h"

#include <algorithm>
#include <cctype>

namespace vark
{
namespace
{

constexpr char kProgram[] = "Sound Manager Varke P";

// The origination fields and the samples since that midnight, all by the recorder's clock.
void SetStart(platform::bext::Bext& b, const platform::AutoDate& start, uint32_t rate)
{
    b.originationDate = start.Format("%Y-%m-%d");
    b.originationTime = start.Format("%H:%M:%S");
    platform::DateParts at{};
    start.GetParts(at);
    const uint64_t seconds =
        uint64_t(at.hour) * 3600 + uint64_t(at.minute) * 60 + uint64_t(at.second);
    b.timeReference = seconds * rate;
}

} // namespace

std::string CodingHistoryLine(const SampleFormat& format)
{
    return std::string(format.ulaw ? "A=ULAW" : "A=PCM") + ",F=" + std::to_string(format.rate) +
           ",W=" + (format.ulaw ? "8" : "16") + ",M=" + (format.channels == 2 ? "stereo" : "mono");
}

platform::bext::Bext ExportBext(const RecordInfo& record, int recordNumber, uint32_t serial,
                                ExportFormat format)
{
    platform::bext::Bext b;
    const std::string number = std::to_string(recordNumber), recorder = std::to_string(serial);
    b.description = "Record " + number + " of recorder " + recorder;
    b.originator = std::string(kProgram) + " " + recorder;
    // the recorder, the record and its start: what names this record anywhere
    b.originatorReference = recorder + "-" + number + "-" + record.start.Format("%Y%m%d%H%M%S");
    SetStart(b, record.start, record.Rate());
    SampleFormat data = SampleFormatOf(record);
    b.codingHistory = CodingHistoryLine(data) + "\r\n";
    if (format == ExportFormat::kFlac && data.ulaw)
    {
        data.ulaw = false;
        b.codingHistory += CodingHistoryLine(data) + ",T=G.711 expansion\r\n";
    }
    return b;
}

platform::bext::Bext DriveExportBext(const drive::DriveRecord& record, const std::string& recorder,
                                     const SampleFormat& written)
{
    platform::bext::Bext b;
    const std::string file =
        record.folder.empty() ? record.name : record.folder + "/" + record.name;
    b.description = "File " + file + " of recorder " + recorder;
    b.originator = std::string(kProgram) + " " + recorder;
    b.originatorReference = recorder + "-" + record.start.Format("%Y%m%d%H%M%S");
    SetStart(b, record.start, written.rate);
    // the file's own coding as the drive holds it, then what it was decoded to
    std::string codec = record.codec.rfind("pcm_", 0) == 0 ? "PCM" : record.codec;
    std::transform(codec.begin(), codec.end(), codec.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    b.codingHistory = "A=" + codec + ",F=" + std::to_string(record.rate) +
                      ",M=" + (record.channels == 2 ? "stereo" : "mono") + "\r\n" +
                      CodingHistoryLine(written) + ",T=decoded\r\n";
    return b;
}

} // namespace vark
