// import: the new records of a drive recorder copied to a folder, optionally deleted from the
// drive once their copies are verified, through the program's import worker.
#include "blocked_signals.h"
#include "cli.h"

#include "res/strings.h"
#include "settings/app_settings.h"
#include "transfer/drive_import_worker.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>

namespace cli
{
namespace
{

// Says each stage and failure on standard error. The only question is the worker's own about
// cancelling, after Ctrl-C or termination: the answer is yes.
class ImportHost : public vark::ExportHost
{
public:
    explicit ImportHost(bool quiet) : quiet_(quiet) {}
    void StageChanged(uint32_t id) override
    {
        if (!quiet_ && id != last_) std::fprintf(stderr, "%s\n", res::LoadString(id).c_str());
        last_ = id;
    }
    void DeselectEntry(size_t) override {}
    bool AskYesNo(uint32_t, const std::vector<std::string>&) override { return cancelled_; }
    void ShowError(uint32_t id) override
    {
        error_ = id;
        Fail(res::LoadString(id), id);
    }
    void ShowErrorText(const std::string& text) override
    {
        error_ = error_ ? error_ : res::ids::kDiskWriteError;
        Fail(text, res::ids::kDiskWriteError);
    }
    uint32_t error_ = 0;
    std::atomic<bool> cancelled_{false};

private:
    const bool quiet_;
    uint32_t last_ = 0;
};

} // namespace

int CmdImport(Context& ctx)
{
    static const std::set<std::string> kKnown = {"--drive", "--to", "--delete-verified"};
    for (const auto& [name, value] : ctx.args.options)
        if (!kKnown.count(name)) throw UsageError{"unknown option for import: " + name};
    if (!ctx.args.positional.empty())
        throw UsageError{"unexpected argument: " + ctx.args.positional.front()};
    if (!ctx.args.Has("--drive"))
        throw UsageError{"import copies from a drive recorder (--drive PATH)"};
    const std::string to = ctx.args.Get("--to").value_or("");
    if (to.empty()) throw UsageError{res::LoadString(res::ids::kEnterTargetFolder) + " (--to DIR)"};
    DriveSession d;
    if (!OpenDrive(ctx, d)) return kExitFailure;
    std::error_code ec;
    std::filesystem::create_directories(to, ec);
    if (!std::filesystem::is_directory(to, ec))
    {
        Fail(res::FormatWithStrings(res::ids::kFolderNotCreated, {to}),
             res::ids::kFolderNotCreated);
        return kExitFailure;
    }
    vark::DriveImportOptions options;
    options.to = vark::ImportTargetFolder(to);
    options.deleteVerified = ctx.args.Has("--delete-verified");
    options.stateFile = vark::ImportStatePath(vark::ImportStateFolder(), d.identity.id);
    ImportHost host(ctx.json);
    vark::CDriveImportWorker worker(d.records, options, host);
    {
        // a cancel ends the run between two pieces: the part file goes, what was copied stays
        BlockedSignals signals; // before the worker starts, so it inherits the mask
        if (!worker.Start(ReapplyThreadLanguage))
        {
            Fail(res::ids::kDiskWriteError);
            return kExitFailure;
        }
        while (worker.Running())
            if (signals.Wait(200))
            {
                host.cancelled_ = true;
                worker.Cancel();
            }
        worker.Join();
    }
    const uint32_t result = worker.Result();
    const vark::ImportCounts counts = worker.Counts();
    const auto copies = worker.Finished();
    if (ctx.json)
    {
        std::string files = "[", kept = "[";
        for (const auto& f : copies)
            files += (files.size() > 1 ? "," : "") + Json::Quote(f.string());
        for (const auto& f : counts.notDeleted)
            kept += (kept.size() > 1 ? "," : "") + Json::Quote(f);
        Json j;
        j.Bool("completed", result == 0 && !host.cancelled_)
            .Int("message", result)
            .Bool("cancelled", host.cancelled_);
        j.Int("copied", counts.copied)
            .Int("skipped", counts.skipped)
            .Int("deleted", counts.deleted);
        std::cout << j.Raw("files", files + "]").Raw("notDeleted", kept + "]").Text() << "\n";
    }
    else
    {
        for (const auto& f : copies)
            std::cout << f.string() << "\n";
        for (const auto& f : counts.notDeleted)
            std::fprintf(stderr, "%s\n",
                         res::FormatWithStrings(res::ids::kImportNotDeleted, {f}).c_str());
        std::fprintf(stderr, "%s\n", vark::ImportOutcomeText(counts).c_str());
    }
    return result == 0 && !host.cancelled_ ? kExitOk : kExitFailure;
}

} // namespace cli
