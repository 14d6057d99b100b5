// export: "Copy to disk" from the command line, through the program's export worker.
#include "blocked_signals.h"
#include "cli.h"
#include "entries.h"

#include "res/strings.h"
#include "settings/app_settings.h"
#include "transfer/drive_export_worker.h"
#include "transfer/export_worker.h"
#include "transfer/signature.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace cli
{
namespace
{

// Standard error shared by the progress line, the questions and the messages.
class Console
{
public:
    Console(bool canAsk, bool redraw) : canAsk_(canAsk), redraw_(redraw) {}

    bool CanAsk() const { return canAsk_; }
    bool Redraws() const { return redraw_; }
    bool Asking() const { return asking_; }

    void Progress(const std::string& line)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (asking_) return;
        if (redraw_)
            std::fprintf(stderr, "\r%s\033[K", line.c_str());
        else
            std::fprintf(stderr, "%s\n", line.c_str());
        lineShown_ = redraw_;
    }
    void EndLine()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lineShown_) std::fputc('\n', stderr);
        lineShown_ = false;
    }
    void Say(const std::string& text)
    {
        EndLine();
        std::lock_guard<std::mutex> lock(mutex_);
        std::fprintf(stderr, "%s\n", text.c_str());
    }

    // Asks on the terminal; nullopt when Ctrl-C came instead of an answer.
    std::optional<bool> Ask(const std::string& question)
    {
        const std::string yes = res::LoadString(res::ids::kYesButton),
                          no = res::LoadString(res::ids::kNoButton);
        EndLine();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::fprintf(stderr, "%s [%s/%s] ", question.c_str(), yes.c_str(), no.c_str());
            std::fflush(stderr);
            interrupted_ = false;
            asking_ = true;
        }
        std::string answer;
        bool ended = false;
        while (!ended)
        {
            if (interrupted_)
            {
                std::lock_guard<std::mutex> lock(mutex_);
                std::fputc('\n', stderr);
                asking_ = false;
                return std::nullopt;
            }
            pollfd p{0, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char c = 0;
            const ssize_t n = ::read(0, &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || c == '\n')
                ended = true;
            else
                answer += c;
        }
        asking_ = false;
        return IsYesAnswer(answer, yes, no);
    }
    void Interrupt() { interrupted_ = true; }

private:
    const bool canAsk_, redraw_;
    std::mutex mutex_;
    bool lineShown_ = false;
    std::atomic<bool> asking_{false}, interrupted_{false};
};

class CliExportHost : public vark::ExportHost
{
public:
    CliExportHost(const ExportRequest& request, Console& console)
        : request_(request), console_(console)
    {
    }
    // The worker of either kind of recorder.
    template <class Worker> void SetWorker(Worker* worker)
    {
        progress_ = [worker] { return worker->Progress(); };
        cancel_ = [worker] { worker->Cancel(); };
    }

    // The user wants out without another question (Ctrl-C without a terminal, or during one).
    void CancelAtOnce()
    {
        cancelAtOnce_ = true;
        if (cancel_) cancel_();
    }
    bool Cancelled() const { return cancelled_; }
    bool Declined() const { return declined_; }
    uint32_t Error() const { return error_; }

    std::string ProgressLine() const
    {
        const vark::ExportProgress p = progress_();
        std::lock_guard<std::mutex> lock(mutex_);
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "  %3d%%  %3d%%  ", p.stagePercent, p.totalPercent);
        return stage_ + numbers + vark::GroupThousands(p.written >> 10) + " / " +
               vark::GroupThousands(p.grandTotal >> 10) + " KB";
    }

    void StageChanged(uint32_t stageTextId) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stage_ = res::LoadString(stageTextId); // the worker's language
        }
        if (!console_.Redraws()) console_.Progress(ProgressLine());
    }
    void DeselectEntry(size_t) override {}

    bool AskYesNo(uint32_t messageId, const std::vector<std::string>& args) override
    {
        using namespace res::ids;
        const std::string text = res::FormatWithStrings(messageId, args);
        std::optional<bool> answer;
        if (messageId == kRecordExists && request_.existing != Existing::kAsk)
            answer = request_.existing == Existing::kOverwrite;
        else if (messageId == kNotEnoughSpace && request_.yes)
            answer = true;
        else if (messageId == kCancelCopying && cancelAtOnce_)
            answer = true;
        else if (console_.CanAsk())
        {
            answer = console_.Ask(text);
            if (!answer)
            {
                // Ctrl-C instead of an answer: this question is No, and the export stops.
                CancelAtOnce();
                answer = messageId == kCancelCopying;
            }
        }
        else
        {
            // Nobody to ask: keep what exists and stop rather than guess.
            answer = messageId == kCancelCopying;
            console_.Say(text + " " + res::LoadString(*answer ? kYesButton : kNoButton));
        }
        if (messageId == kCancelCopying && *answer) cancelled_ = true;
        if (messageId == kNotEnoughSpace && !*answer) declined_ = true;
        return *answer;
    }

    void ShowError(uint32_t messageId) override
    {
        error_ = messageId;
        console_.Say(res::LoadString(messageId));
    }
    void ShowErrorText(const std::string& text) override
    {
        error_ = res::ids::kDiskWriteError;
        console_.Say(text);
    }

private:
    const ExportRequest& request_;
    Console& console_;
    std::function<vark::ExportProgress()> progress_;
    std::function<void()> cancel_;
    mutable std::mutex mutex_;
    std::string stage_;
    std::atomic<bool> cancelAtOnce_{false}, cancelled_{false}, declined_{false};
    std::atomic<uint32_t> error_{0};
};

// Runs either kind of export worker to its end: Ctrl-C asks (or cancels at once without a
// terminal), the progress line is redrawn, and the finished files are printed.
template <class Worker>
int RunExport(Context& ctx, const ExportRequest& request, Worker& worker, CliExportHost& host,
              Console& console, BlockedSignals& signals)
{
    std::vector<std::filesystem::path> finished;
    vark::ExportProgress progress;
    {
        host.SetWorker(&worker);
        if (!worker.Start(ReapplyThreadLanguage))
        {
            Fail(res::ids::kDiskWriteError);
            return kExitFailure;
        }
        while (worker.Running())
        {
            const int sig = signals.Wait(200);
            if (sig == SIGINT && console.CanAsk())
            {
                if (console.Asking())
                    console.Interrupt();
                else
                    worker.Cancel(); // the worker asks "Do you want to cancel copying?"
            }
            else if (sig != 0)
            {
                host.CancelAtOnce();
                console.Interrupt();
            }
            if (console.Redraws()) console.Progress(host.ProgressLine());
        }
        worker.Join();
        if (host.Error() == 0 && !host.Cancelled()) console.Progress(host.ProgressLine());
        console.EndLine();
        finished = worker.Finished();
        progress = worker.Progress();
    }
    std::error_code ec;

    const bool ok = host.Error() == 0 && !host.Cancelled() && !host.Declined();
    if (ctx.json)
    {
        std::string files = "[";
        for (size_t i = 0; i < finished.size(); ++i)
        {
            Json f;
            f.Str("file", finished[i].string());
            if (finished[i].extension() == ".wav") f.Str("wav", finished[i].string());
            const auto dsg = vark::SignaturePathFor(finished[i]);
            if (request.sign && std::filesystem::exists(dsg, ec)) f.Str("dsg", dsg.string());
            files += (i ? "," : "") + f.Text();
        }
        Json j;
        j.Bool("completed", ok).Int("message", host.Error()).Bool("cancelled", host.Cancelled());
        j.Int("writtenKB", static_cast<int64_t>(progress.written >> 10));
        j.Int("totalKB", static_cast<int64_t>(progress.grandTotal >> 10));
        std::cout << j.Raw("files", files + "]").Text() << "\n";
    }
    else
    {
        for (const auto& path : finished)
        {
            std::cout << path.string() << "\n";
            const auto dsg = vark::SignaturePathFor(path);
            if (request.sign && std::filesystem::exists(dsg, ec)) std::cout << dsg.string() << "\n";
        }
    }
    return ok ? kExitOk : kExitFailure;
}

// The target folder, made when missing.
bool MakeFolder(const std::string& out)
{
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec || !std::filesystem::is_directory(out, ec))
    {
        Fail(res::ids::kDiskWriteError);
        return false;
    }
    return true;
}

} // namespace

int CmdExport(Context& ctx)
{
    const ExportRequest request = ParseExportRequest(ctx.args);
    if (ctx.args.Has("--drive")) return DriveExport(ctx, request);
    Session s;
    if (!ctx.Connect(s)) return kExitFailure;
    const auto recordCount = RecordCount(s);
    if (!recordCount) return kExitFailure;
    const int count = *recordCount;
    std::vector<uint16_t> indexes;
    if (request.all)
    {
        for (int i = 0; i < count; ++i)
            indexes.push_back(static_cast<uint16_t>(i));
    }
    else
    {
        for (int number : request.records)
        {
            if (number > count)
            {
                Fail("vark-cli: no record " + std::to_string(number) + " (the recorder has " +
                     std::to_string(count) + ")");
                return kExitUsage;
            }
            indexes.push_back(static_cast<uint16_t>(number - 1));
        }
    }

    if (!MakeFolder(request.out)) return kExitFailure;

    vark::ExportOptions options;
    options.folder = request.out;
    options.sign = request.sign;
    options.keepSelection = true; // no list rows to deselect here
    options.pauseMode = request.pauseMode;
    options.pauseSeconds = request.pauseSeconds;
    options.serial = SignatureSerial(s.device.SerialNumber());
    options.bwf = request.bwf;
    options.format = request.format;
    if (request.minisig)
    {
        const auto key = OwnSigningKey(ctx);
        if (!key) return kExitFailure;
        options.openSigning = vark::OpenSigning{*key, std::to_string(options.serial)};
    }

    Console console(::isatty(0) != 0, ::isatty(2) != 0);
    CliExportHost host(request, console);
    BlockedSignals signals; // before the worker starts, so it inherits the mask
    vark::CExportWorker worker(s.device, indexes, options, host);
    return RunExport(ctx, request, worker, host, console, signals);
}

int DriveExport(Context& ctx, const ExportRequest& request)
{
    DriveSession d;
    const auto records = DriveRecordsFor(ctx, d, request);
    // a drive that opened but has no such record is a wrong entry, as for the recorder
    if (!records) return d.root.empty() ? kExitFailure : kExitUsage;
    if (!MakeFolder(request.out)) return kExitFailure;
    vark::DriveExportOptions options;
    options.folder = request.out;
    options.sign = request.sign;
    options.keepOriginal = request.keepOriginal;
    options.bwf = request.bwf;
    options.format = request.format;
    options.recorder = d.identity.label.empty() ? d.identity.id : d.identity.label;
    if (request.sign)
    {
        const auto serial = DriveSerialFor(d, request);
        if (!serial) return kExitUsage;
        options.serial = *serial;
    }
    if (request.minisig)
    {
        const auto key = OwnSigningKey(ctx);
        if (!key) return kExitFailure;
        options.openSigning = vark::OpenSigning{*key, d.identity.id};
    }
    Console console(::isatty(0) != 0, ::isatty(2) != 0);
    CliExportHost host(request, console);
    BlockedSignals signals;
    vark::CDriveExportWorker worker(*records, options, host);
    return RunExport(ctx, request, worker, host, console, signals);
}

} // namespace cli
