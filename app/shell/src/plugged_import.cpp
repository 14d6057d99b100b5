#include "plugged_import.h"

#include "res/strings.h"

PluggedImport::PluggedImport(std::string root, std::vector<drive::DriveRecord> records,
                             vark::DriveImportOptions options)
    : root_(std::move(root)), stage_(res::ids::kImportingNewRecords),
      worker_(std::move(records), std::move(options), *this)
{
}

PluggedImport::~PluggedImport()
{
    worker_.Cancel();
    worker_.Join();
}

std::string PluggedImport::Failure() const
{
    std::lock_guard lock(mutex_);
    return failure_;
}

void PluggedImport::ShowError(uint32_t messageId)
{
    ShowErrorText(res::LoadString(messageId));
}

void PluggedImport::ShowErrorText(const std::string& text)
{
    std::lock_guard lock(mutex_);
    failure_ = text;
}
