#include "recorder/demo.h"

#include <sstream>
#include <thread>
#include <vector>

namespace recorder
{

namespace
{

struct DemoRecord
{
    const char* start;
    bool rate16k, stereo, mulaw;
    uint32_t marks, sources;
    const char* voice;
    const char* text;
    const char* rightVoice; // stereo: the other speaker
    const char* rightText;
};

const DemoRecord kDemo[] = {
    {"2026-11-02 09:00:05", false, false, true, 0, kSourceInternal, "en",
     "Dictation, second of November. Please prepare the quarterly report for the board, "
     "and send a copy to accounting before Friday.",
     nullptr, nullptr},
    {"2026-11-02 10:15:40", true, false, false, kHeaderMarkT, kSourceInternal, "en-us",
     "Reminder. Call the supplier about the delayed shipment and confirm the new delivery "
     "date.",
     nullptr, nullptr},
    {"2026-11-03 14:30:00", false, true, true, kHeaderMarkL, kSourceExtLeft | kSourceExtRight,
     "en-gb",
     "Interview, part one. Could you describe what you saw on the evening of the "
     "twelfth?",
     "en+f3", "I was at the station around eight, and the platform was almost empty."},
    {"2026-11-04 11:00:20", true, true, false, 0, kSourceLineLeft | kSourceLineRight, "en-us",
     "Conference line recording. The next item on the agenda is the budget for next year.", "en+m3",
     "We expect the costs to stay within five percent of this year."},
    {"2026-11-05 16:20:00", false, false, true, kHeaderMarkA, kSourceInternal, "en",
     "Voice activated fragment. The door opened at a quarter past four.", nullptr, nullptr},
    {nullptr, false, false, true, kHeaderMarkA, kSourceInternal, "en",
     "Two people came in and sat down by the window.", nullptr, nullptr},
    {nullptr, false, false, true, kHeaderMarkA, kSourceInternal, "en",
     "They talked quietly for a few minutes, then left together.", nullptr, nullptr},
    {"2026-11-06 08:45:10", true, false, true, kHeaderMarkT | kHeaderMarkL,
     kSourceInternal | kSourceExtLeft, "en-gb-scotland",
     "Field note. Weather is clear, wind from the west. Starting the site survey now.", nullptr,
     nullptr},
};

// Two speakers, one per channel, each silent while the other talks.
PcmAudio Conversation(const PcmAudio& a, const PcmAudio& b)
{
    PcmAudio out;
    out.rate = a.rate;
    out.channels = 2;
    const size_t pause = a.rate / 2;
    const size_t fa = a.samples.size() / a.channels;
    // Bring b to a's rate by taking the mono data as is when rates match; otherwise pad
    // with silence (espeak-ng voices all share one rate).
    const size_t fb = b.rate == a.rate ? b.samples.size() / b.channels : 0;
    const size_t frames = fa + pause + fb;
    out.samples.assign(frames * 2, 0);
    for (size_t i = 0; i < fa; ++i)
    {
        out.samples[2 * i] = a.samples[i * a.channels];
        out.samples[2 * i + 1] = static_cast<int16_t>(a.samples[i * a.channels] / 8); // crosstalk
    }
    for (size_t i = 0; i < fb; ++i)
    {
        const size_t o = fa + pause + i;
        out.samples[2 * o + 1] = b.samples[i * b.channels];
        out.samples[2 * o] = static_cast<int16_t>(b.samples[i * b.channels] / 8);
    }
    return out;
}

double Seconds(const StoredRecord& r)
{
    const double bytesPerSecond = ((r.header & kHeaderUncompressed) ? 2 : 1) *
                                  ((r.header & kHeaderStereo) ? 2 : 1) *
                                  ((r.header & kHeaderRate16k) ? 16000 : 8000);
    return static_cast<double>(r.data.size()) / bytesPerSecond;
}

} // namespace

StoredRecord MakeRecord(const PcmAudio& audio, const ImportOptions& o, const RecorderImage& image)
{
    StoredRecord r;
    const bool rate16k = o.haveRate ? o.rate16k : audio.rate >= 16000;
    r.data = ToRecordData(audio, rate16k, o.stereo, o.mulaw);
    r.header = (rate16k ? kHeaderRate16k : 0) | (o.stereo ? kHeaderStereo : 0) |
               (o.mulaw ? 0 : kHeaderUncompressed) | o.marks |
               ((o.sources & 0x1F) << kHeaderSourcesShift);
    r.start = o.haveStart
                  ? o.start
                  : static_cast<uint32_t>(HostSecondsSince2000() + image.settings.clockOffset);
    return r;
}

RecorderImage MakeDemoImage(bool* usedSpeech)
{
    if (usedSpeech) *usedSpeech = true;
    RecorderImage image;
    image.identity.serial = 4711;
    image.settings.clockOffset = LocalUtcOffsetSeconds();
    constexpr size_t kCount = sizeof kDemo / sizeof kDemo[0];
    image.records.resize(kCount);
    // Speaking and converting dominate; the records are made side by side.
    bool speech[kCount];
    std::vector<std::thread> workers;
    for (size_t i = 0; i < kCount; ++i)
        workers.emplace_back(
            [&, i]
            {
                const DemoRecord& d = kDemo[i];
                speech[i] = true;
                const unsigned seed = static_cast<unsigned>(2 * i + 1);
                PcmAudio audio = Speech(d.text, d.voice, seed, &speech[i]);
                if (d.stereo)
                    audio = Conversation(audio,
                                         Speech(d.rightText, d.rightVoice, seed + 1, &speech[i]));
                ImportOptions o;
                o.haveRate = true;
                o.rate16k = d.rate16k;
                o.stereo = d.stereo;
                o.mulaw = d.mulaw;
                o.marks = d.marks;
                o.sources = d.sources;
                o.haveStart = true;
                image.records[i] = MakeRecord(audio, o, image);
            });
    for (std::thread& t : workers)
        t.join();
    for (size_t i = 0; i < kCount; ++i)
    {
        if (kDemo[i].start)
            ParseRecorderTime(kDemo[i].start, &image.records[i].start);
        else // the next fragment of a voice-activated run, a few seconds after the last
            image.records[i].start = image.records[i - 1].start +
                                     static_cast<uint32_t>(Seconds(image.records[i - 1]) + 0.5) +
                                     3 + static_cast<uint32_t>(i % 3);
        if (usedSpeech && !speech[i]) *usedSpeech = false;
    }
    return image;
}

bool ParseMarks(const std::string& text, uint32_t* bits)
{
    uint32_t b = 0;
    std::stringstream s(text);
    for (std::string m; std::getline(s, m, ',');)
    {
        if (m == "T" || m == "t")
            b |= kHeaderMarkT;
        else if (m == "L" || m == "l")
            b |= kHeaderMarkL;
        else if (m == "A" || m == "a")
            b |= kHeaderMarkA;
        else if (!m.empty())
            return false;
    }
    *bits = b;
    return true;
}

bool ParseSources(const std::string& text, uint32_t* set)
{
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
    {
        if (text.size() > 2 || std::stoul(text) > 31) return false;
        *set = static_cast<uint32_t>(std::stoul(text));
        return true;
    }
    uint32_t v = 0;
    std::stringstream s(text);
    for (std::string m; std::getline(s, m, ',');)
    {
        if (m == "int")
            v |= kSourceInternal;
        else if (m == "ext-left")
            v |= kSourceExtLeft;
        else if (m == "ext-right")
            v |= kSourceExtRight;
        else if (m == "line-left")
            v |= kSourceLineLeft;
        else if (m == "line-right")
            v |= kSourceLineRight;
        else
            return false;
    }
    if (text.empty()) return false;
    *set = v;
    return true;
}

} // namespace recorder
