// n_queue<T>: an intrusive FIFO of blocks linked through their own `T* next` member, with a
// count, a head and a tail. Nothing is allocated, so the output card can queue and recycle
// its blocks from any thread (under its own lock: the queue itself is not synchronised).
//
// A block belongs to at most one queue. Queuing a block whose next pointer is still set, or
// the queue's own tail again, is a logic error and throws LOGIC_ERROR with the queue left
// unchanged (a tail sitting in a different queue has a null next pointer and cannot be
// recognised; the owner must not queue it). Get clears the next pointer of what it returns.
#pragma once

#include "faltor/exceptions.h"

template <typename T> class n_queue
{
public:
    n_queue() = default;
    n_queue(const n_queue&) = delete;
    n_queue& operator=(const n_queue&) = delete;

    void Put(T* block)
    {
        if (!block) throw INVALID_ARGUMENT("n_queue: null block");
        if (block->next != nullptr || block == tail_)
            throw LOGIC_ERROR("n_queue: block is already queued");
        if (tail_)
            tail_->next = block;
        else
            head_ = block;
        tail_ = block;
        ++count_;
    }

    // The oldest block, or null when the queue is empty.
    T* Get()
    {
        T* block = head_;
        if (!block) return nullptr;
        head_ = block->next;
        if (!head_) tail_ = nullptr;
        block->next = nullptr;
        --count_;
        return block;
    }

    T* Head() const { return head_; }
    T* Tail() const { return tail_; }
    long Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }

private:
    T* head_ = nullptr;
    T* tail_ = nullptr;
    long count_ = 0;
};
