// The worker that loads the record list: fetches each record's header from the recorder in
// the chosen order and hands it over, one at a time, to a consumer (the "Load records list"
// dialog inserts rows, vark-cli prints them).
//
// Hand-over: when a header is ready the worker stores a copy, calls `recordReady` (on the
// worker thread; the dialog posts itself a message there) and goes on reading the next header
// while the consumer copies the stored one with TakeRecord, from any thread. It hands over
// the next one only after the previous one has been taken, and ends only after the last one
// has, so rows still arrive one at a time and in order. Overlapping the two keeps the wake-up
// of the consumer's thread (about a tenth of a millisecond a row) off the recorder's pace.
// Cancel takes effect before the next record, so a record that is being fetched when the
// user cancels still arrives. The first header that cannot be read ends loading with
// `failed(res::ids::kCantOpenRecord)`; rows already handed over stay.
//
// The worker does not set the thread language: the program's shell owns that and applies it
// from `threadStarted`, which runs first on the worker thread.
#pragma once

#include "device/record_info.h"
#include "device/vark_device.h"
#include "platform/event.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vark
{

struct RecordListHandover
{
    std::function<void()> threadStarted;            // optional
    std::function<void(int index)> recordReady;     // required
    std::function<void(uint32_t messageId)> failed; // optional
};

class CRecordListLoader
{
public:
    // `listOrder` non-zero fetches n-1 down to 0 (newest first), else 0 up to n-1.
    CRecordListLoader(CVarkDevice& device, int count, int listOrder, RecordListHandover handover);
    // Cancels, releases a worker waiting for its record to be taken, and joins it.
    ~CRecordListLoader();
    CRecordListLoader(const CRecordListLoader&) = delete;
    CRecordListLoader& operator=(const CRecordListLoader&) = delete;

    // False when the worker thread cannot be started (the dialog then ends with cancel).
    bool Start();
    // Stops the worker before its next record.
    void Cancel();
    // True from Start until the worker has ended.
    bool Running() const { return started_ && !ended_; }
    // Waits for the worker to end.
    void Join();

    // Copies the record handed over and lets the worker hand over the next; false when none waits.
    bool TakeRecord(int& index, RecordInfo& info);

    // The fetch order for `count` records.
    static std::vector<int> FetchOrder(int count, int listOrder);
    // Where the next row goes: at the top when newest first, else after the rows added so far.
    static int RowPosition(int listOrder, int rowsAdded) { return listOrder ? 0 : rowsAdded; }

private:
    void Run();
    // Waits until the record handed over has been taken; false when the consumer went away.
    bool AwaitTaken();

    CVarkDevice& device_;
    const int count_;
    const int listOrder_;
    RecordListHandover handover_;

    platform::Event cancel_{platform::Event::Reset::automatic};
    platform::Event rowTaken_{platform::Event::Reset::automatic};
    std::mutex mutex_;
    std::optional<std::pair<int, RecordInfo>> waiting_; // handed over, not yet taken
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> started_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

} // namespace vark
