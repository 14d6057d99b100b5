// The export dialog as the export workers' tests see it: it records every stage, question
// and error, answers from a table (No when not listed) and can act when a stage starts. And
// what the player's decoder makes of an exported file.
#pragma once

#include "platform/mediastream.h"
#include "platform/thread_locale.h"
#include "res/strings.h"
#include "transfer/export_worker.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vark
{

class TestHost : public ExportHost
{
public:
    void StageChanged(uint32_t id) override
    {
        stages.push_back(id);
        stageLocales.push_back(platform::GetThreadLocale());
        stageTexts.push_back(res::LoadString(id));
        if (onStage) onStage(id);
    }
    void DeselectEntry(size_t entry) override { deselected.push_back(entry); }
    bool AskYesNo(uint32_t id, const std::vector<std::string>& args) override
    {
        asked.push_back(id);
        lastArgs = args;
        return answers.count(id) ? answers[id] : false;
    }
    void ShowError(uint32_t id) override { errors.push_back(id); }
    void ShowErrorText(const std::string& text) override { errorTexts.push_back(text); }

    std::vector<uint32_t> stages, asked, errors;
    std::vector<platform::Lcid> stageLocales;
    std::vector<std::string> stageTexts;
    std::vector<std::string> errorTexts;
    std::vector<size_t> deselected;
    std::vector<std::string> lastArgs;
    std::map<uint32_t, bool> answers;
    std::function<void(uint32_t)> onStage;
};

// The file's samples as the player's decoder delivers them, 16-bit little-endian.
inline std::string DecodedSamples(const std::string& path)
{
    auto stream = platform::mediastream::AudioStream::Open(path);
    if (!stream) return "cannot open " + path;
    std::string samples, piece(32768, '\0');
    stream->SetBuffer(reinterpret_cast<uint8_t*>(piece.data()), piece.size());
    while (stream->Update(nullptr) == platform::mediastream::UpdateStatus::ok)
        samples.append(piece, 0, stream->ActualLength());
    return samples;
}

} // namespace vark
