#include "transfer/record_list_loader.h"

#include "res/string_ids.h"
#include "scriba/scriba.h"

#include <system_error>

namespace vark
{

CRecordListLoader::CRecordListLoader(CVarkDevice& device, int count, int listOrder,
                                     RecordListHandover handover)
    : device_(device), count_(count), listOrder_(listOrder), handover_(std::move(handover))
{
}

CRecordListLoader::~CRecordListLoader()
{
    abandoned_ = true;
    cancel_.Set();
    rowTaken_.Set();
    Join();
}

bool CRecordListLoader::Start()
{
    if (started_ || !handover_.recordReady) return false;
    try
    {
        started_ = true;
        thread_ = std::thread([this] { Run(); });
    }
    catch (const std::system_error&)
    {
        started_ = false;
        return false;
    }
    return true;
}

void CRecordListLoader::Cancel()
{
    cancel_.Set();
}

void CRecordListLoader::Join()
{
    if (thread_.joinable()) thread_.join();
}

std::vector<int> CRecordListLoader::FetchOrder(int count, int listOrder)
{
    std::vector<int> order;
    for (int k = 0; k < count; ++k)
        order.push_back(listOrder ? count - 1 - k : k);
    return order;
}

bool CRecordListLoader::TakeRecord(int& index, RecordInfo& info)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!waiting_) return false;
    index = waiting_->first;
    info = waiting_->second;
    waiting_.reset();
    rowTaken_.Set();
    return true;
}

bool CRecordListLoader::AwaitTaken()
{
    rowTaken_.Wait();
    return !abandoned_;
}

void CRecordListLoader::Run()
{
    if (handover_.threadStarted) handover_.threadStarted();
    SLOG("LoadList, listOrder=%d", listOrder_);
    bool handedOver = false; // a record is waiting to be taken
    for (int index : FetchOrder(count_, listOrder_))
    {
        if (cancel_.Wait(0) || abandoned_) break;
        RecordInfo info;
        if (index > 0xFFFF || !device_.GetRecordInfo(static_cast<uint16_t>(index), info))
        {
            if (handover_.failed && !abandoned_) handover_.failed(res::ids::kCantOpenRecord);
            break;
        }
        // This header was read while the consumer took the previous one; it is handed over
        // once that one has been taken.
        if (handedOver && !AwaitTaken()) break;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_.emplace(index, info);
        }
        handedOver = true;
        handover_.recordReady(index);
    }
    // Ending before the last record has been taken would drop its row: the dialog takes rows
    // only while the worker runs.
    if (handedOver && !abandoned_) AwaitTaken();
    ended_ = true;
}

} // namespace vark
