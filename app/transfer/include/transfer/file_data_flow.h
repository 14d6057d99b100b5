// A sound file on disk: the player opens and plays it itself, so every operation is one
// call of the player wrapper.
#pragma once

#include "transfer/data_flow.h"

#include <string>

namespace vark
{

class CFileDataFlow final : public CDataFlow
{
public:
    void SetPath(std::wstring path) { path_ = std::move(path); }
    const std::wstring& Path() const { return path_; }

    bool Play() override;
    void Stop() override;
    void Pause(bool on) override;
    void SetRing(int32_t seconds) override;
    void SetPosition(int32_t ms) override;
    // The player opens the file; then its size (KiB) and its path are announced.
    bool Open() override;
    void Close() override;
    void SetStretch(int32_t value) override;
    FlowKind Kind() const override { return FlowKind::kFile; }

private:
    std::wstring path_;
};

} // namespace vark
