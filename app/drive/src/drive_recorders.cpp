#include "drive/drive_recorders.h"

#include "drive/recorder_layout.h"
#include "platform/mounts.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace drive
{

std::vector<AttachedDrive> FindDriveRecorders(const std::vector<std::string>& candidates,
                                              const std::vector<platform::mounts::Mount>& mounts)
{
    std::vector<AttachedDrive> found;
    for (const std::string& root : candidates)
    {
        const bool inside =
            std::any_of(found.begin(), found.end(),
                        [&](const AttachedDrive& d)
                        { return root.compare(0, d.root.size() + 1, d.root + "/") == 0; });
        if (inside || RecordFolders(root).empty()) continue;
        found.push_back({root, IdentifyDrive(root, mounts)});
    }
    return found;
}

std::vector<AttachedDrive> FindDriveRecorders()
{
    const auto mounts = platform::mounts::ReadMounts();
    return FindDriveRecorders(platform::mounts::DriveCandidates(mounts), mounts);
}

DriveRecorders::DriveRecorders(Post post,
                               std::function<void(const std::vector<AttachedDrive>&)> attached)
    : post_(std::move(post)), attached_(std::move(attached)), worker_([this] { Work(); })
{
}

DriveRecorders::~DriveRecorders()
{
    Stop();
    watcher_.reset();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

void DriveRecorders::Stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
}

void DriveRecorders::Run(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void DriveRecorders::Work()
{
    for (;;)
    {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

void DriveRecorders::Scan()
{
    {
        // one look answers every change that came before it
        std::lock_guard<std::mutex> lock(mutex_);
        if (scanQueued_) return;
        scanQueued_ = true;
    }
    Run(
        [this]
        {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                scanQueued_ = false;
            }
            std::vector<AttachedDrive> found = FindDriveRecorders();
            if (reported_ && found == last_) return;
            reported_ = true;
            last_ = found;
            post_([this, found] { attached_(found); });
        });
}

bool DriveRecorders::Start()
{
    watcher_ = std::make_unique<platform::mounts::MountWatcher>([this] { Scan(); });
    Scan();
    return watcher_->Watching();
}

void DriveRecorders::Load(const std::string& root, std::function<void(const DriveContents&)> done)
{
    Run(
        [this, root, done = std::move(done)]
        {
            DriveContents c;
            c.root = root;
            struct stat st
            {
            };
            c.present = ::stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            if (c.present)
            {
                c.records = ListRecords(root,
                                        [this]
                                        {
                                            std::lock_guard<std::mutex> lock(mutex_);
                                            return stopping_;
                                        });
                c.space = SpaceOf(root);
                c.identity = IdentifyDrive(root, platform::mounts::ReadMounts());
            }
            post_([done, c = std::move(c)] { done(c); });
        });
}

void DriveRecorders::Delete(std::vector<std::string> paths,
                            std::function<void(const std::vector<std::string>&)> done)
{
    Run(
        [this, paths = std::move(paths), done = std::move(done)]
        {
            std::vector<std::string> failed;
            for (const std::string& p : paths)
                if (::unlink(p.c_str()) != 0) failed.push_back(p);
            post_([done, failed = std::move(failed)] { done(failed); });
        });
}

} // namespace drive
