// The foot pedals while the window runs: every pedal found is opened and grabbed, at start and
// whenever one comes or goes (the folder's watcher wakes the event loop), and what they do goes
// through PedalMapping to `act`. A pedal pulled out lets go of what it held, so the player
// pauses. The repeat timer runs only while an outer pedal steps.
#pragma once

#include "pedal_mapping.h"
#include "platform/pedals.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class PedalInput : public QObject
{
public:
    using Act = std::function<void(const PedalMapping::Action&)>;

    PedalInput(bool holdToPlay, int speed, Act act);
    ~PedalInput() override;

    // The set mapping, from now on.
    void Remap(bool holdToPlay, int speed);
    // The name of the first pedal in use; empty without one.
    QString PedalName() const;
    // Which pedals are held now, over every pedal in use.
    std::array<bool, platform::pedals::kPedals> Down() const;
    // A pedal came, went or was pressed (the options dialog's live view follows).
    std::function<void()> changed;

private:
    struct Open
    {
        std::unique_ptr<platform::pedals::PedalDevice> device;
        std::unique_ptr<QSocketNotifier> notifier;
    };
    void Rescan();
    void OnReadable(platform::pedals::PedalDevice* device);
    void Apply(const std::vector<platform::pedals::PedalChange>& changes);
    void Run(const std::vector<PedalMapping::Action>& actions);

    Act act_;
    std::unique_ptr<PedalMapping> mapping_;
    std::vector<Open> open_;
    platform::pedals::PedalWatcher watcher_;
    std::unique_ptr<QSocketNotifier> watch_;
    QTimer repeat_;
    QElapsedTimer clock_;
};
