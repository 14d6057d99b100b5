#include "transfer/export_bext.h"

#include "platform/bext.h"

namespace vark
{

std::string CodingHistoryLine(const RecordInfo& record)
{
    const bool ulaw = record.compressed != 0;
    return std::string(ulaw ? "A=ULAW" : "A=PCM") + ",F=" + std::to_string(record.Rate()) +
           ",W=" + std::to_string(8 * record.BytesPerSample()) +
           ",M=" + (record.Channels() == 2 ? "stereo" : "mono");
}

std::vector<uint8_t> ExportBext(const RecordInfo& record, int recordNumber, uint32_t serial)
{
    platform::bext::Bext b;
    const std::string number = std::to_string(recordNumber), recorder = std::to_string(serial);
    b.description = "Record " + number + " of recorder " + recorder;
    b.originator = "Sound Manager Varke P " + recorder;
    // the recorder, the record and its start: what names this record anywhere
    b.originatorReference = recorder + "-" + number + "-" + record.start.Format("%Y%m%d%H%M%S");
    b.originationDate = record.start.Format("%Y-%m-%d");
    b.originationTime = record.start.Format("%H:%M:%S");
    platform::DateParts at{};
    record.start.GetParts(at);
    const uint64_t seconds =
        uint64_t(at.hour) * 3600 + uint64_t(at.minute) * 60 + uint64_t(at.second);
    b.timeReference = seconds * record.Rate();
    b.codingHistory = CodingHistoryLine(record) + "\r\n";
    return platform::bext::Body(b);
}

} // namespace vark
