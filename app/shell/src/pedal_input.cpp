#include "pedal_input.h"

#include "scriba/scriba.h"

#include <algorithm>

using platform::pedals::PedalChange;
using platform::pedals::PedalDevice;

PedalInput::PedalInput(bool holdToPlay, int speed, Act act)
    : act_(std::move(act)), mapping_(std::make_unique<PedalMapping>(holdToPlay, speed))
{
    clock_.start();
    if (watcher_.Fd() >= 0)
    {
        watch_ = std::make_unique<QSocketNotifier>(watcher_.Fd(), QSocketNotifier::Read);
        connect(watch_.get(), &QSocketNotifier::activated, this,
                [this]
                {
                    watcher_.Drain();
                    Rescan();
                });
    }
    repeat_.setInterval(PedalMapping::kRepeatMs / 5);
    connect(&repeat_, &QTimer::timeout, this, [this] { Run(mapping_->Tick(clock_.elapsed())); });
    Rescan();
}

PedalInput::~PedalInput() = default;

void PedalInput::Remap(bool holdToPlay, int speed)
{
    mapping_ = std::make_unique<PedalMapping>(holdToPlay, speed);
    // what is held now is held in the new mapping too, without acting on it again
    const auto down = Down();
    for (int p = 0; p < platform::pedals::kPedals; ++p)
        if (down[size_t(p)]) mapping_->Change({platform::pedals::Pedal(p), true}, clock_.elapsed());
}

QString PedalInput::PedalName() const
{
    return open_.empty() ? QString() : QString::fromStdString(open_.front().device->Info().name);
}

std::array<bool, platform::pedals::kPedals> PedalInput::Down() const
{
    std::array<bool, platform::pedals::kPedals> down{};
    for (const Open& o : open_)
        for (size_t p = 0; p < down.size(); ++p)
            down[p] = down[p] || o.device->Down()[p];
    return down;
}

void PedalInput::Rescan()
{
    bool added = false;
    for (const platform::pedals::PedalInfo& info : platform::pedals::FindPedals())
    {
        if (std::any_of(open_.begin(), open_.end(),
                        [&](const Open& o) { return o.device->Info().path == info.path; }))
            continue;
        auto device = std::make_unique<PedalDevice>(info);
        if (!device->IsOpen()) continue;
        SLOG("Foot pedal %s (%04x:%04x)%s", info.name.c_str(), info.vendor, info.product,
             device->Grabbed() ? "" : ", not grabbed");
        auto notifier =
            std::make_unique<QSocketNotifier>(device->Fd(), QSocketNotifier::Read, this);
        PedalDevice* raw = device.get();
        connect(notifier.get(), &QSocketNotifier::activated, this,
                [this, raw] { OnReadable(raw); });
        open_.push_back({std::move(device), std::move(notifier)});
        added = true;
    }
    if (added && changed) changed();
}

void PedalInput::OnReadable(PedalDevice* device)
{
    Apply(device->Read());
    if (!device->Gone()) return;
    SLOG("Foot pedal %s went", device->Info().name.c_str());
    auto it = std::find_if(open_.begin(), open_.end(),
                           [&](const Open& o) { return o.device.get() == device; });
    if (it == open_.end()) return;
    it->notifier->setEnabled(false);
    it->notifier.release()->deleteLater(); // it is still emitting the call we are in
    open_.erase(it);                       // the device closes, and lets go of its grab
    if (changed) changed();
}

void PedalInput::Apply(const std::vector<PedalChange>& changes)
{
    for (const PedalChange& c : changes)
        Run(mapping_->Change(c, clock_.elapsed()));
    // the repeat runs only while an outer pedal is held
    const auto down = Down();
    const bool outer = down[platform::pedals::kLeft] || down[platform::pedals::kRight];
    if (outer && !repeat_.isActive())
        repeat_.start();
    else if (!outer)
        repeat_.stop();
    if (!changes.empty() && changed) changed();
}

void PedalInput::Run(const std::vector<PedalMapping::Action>& actions)
{
    for (const PedalMapping::Action& a : actions)
        if (act_) act_(a);
}
