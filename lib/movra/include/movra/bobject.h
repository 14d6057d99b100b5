// The processing chain: every object is a BASEOBJECT with an input and an output list of
// sound messages. Once per worker cycle the core runs the chain of its active source in
// ascending id order (ProcessChain): each object processes its whole input, and its output
// moves on to the next object's input; what leaves the last object goes to the core's
// output queue. Objects are touched only with the core's lock held.
#pragma once

#include "movra/movra_notify.h"
#include "movra/smsg.h"

#include <list>
#include <map>
#include <memory>

using SMSG_LIST = std::list<std::unique_ptr<SMSG>>;

// What Process did with a message.
enum PROCESS_RESULT : long
{
    TONEXT = 0,  // the message (possibly changed) goes on to the output list
    REMOVE = 1,  // the message is deleted
    CAPTURE = 2, // the object keeps the message itself
};

class ICONTROLOBJECT
{
public:
    virtual void FirstHook() = 0;
    virtual void SecondHook() = 0;
    // Reports the object's parameters to the host.
    virtual void NotifyState() = 0;
    virtual void Enable() = 0;
    virtual void Disable() = 0;
    virtual long Process(SMSG& msg) = 0;
    virtual long GetSpare() const = 0;
    virtual void SetSpare(long value) = 0;
    virtual void ClearSpare() = 0;
    virtual ~ICONTROLOBJECT() = default;
    // Rebuilds the internal state for the current rate (objects with a history only).
    virtual void Reinit() {}
};

class BASEOBJECT : public ICONTROLOBJECT
{
public:
    explicit BASEOBJECT(long id) : id_(id) {}

    void FirstHook() override {}
    void SecondHook() override {}
    void Enable() override;
    void Disable() override;
    long GetSpare() const override { return spare_; }
    void SetSpare(long value) override { spare_ = value; }
    void ClearSpare() override { spare_ = 0; }

    long Id() const { return id_; }
    bool IsEnabled() const { return enabled_ != 0; }
    void SetInterface(MOVRA_NOTIFY* host) { host_ = host; }

    SMSG_LIST& Input() { return input_; }
    SMSG_LIST& Output() { return output_; }

protected:
    // The host; LOGIC_ERROR when it has not been set yet.
    MOVRA_NOTIFY& Host() const;

private:
    SMSG_LIST input_;
    SMSG_LIST output_;
    long id_;
    long spare_ = 0;
    long enabled_ = 0;
    MOVRA_NOTIFY* host_ = nullptr;
};

// The frame shared by the objects that keep a history (AGC, denoiser, speech search,
// stretcher): a disabled object passes messages on untouched; a change of rate is stored and
// rebuilds the state (Reinit); the end mark flushes the history (Reinit) and goes on.
class HISTORY_OBJECT : public BASEOBJECT
{
public:
    long Rate() const { return rate_; }

protected:
    HISTORY_OBJECT(long id, long defaultRate) : BASEOBJECT(id), rate_(defaultRate) {}
    // True when `msg` must go on untouched: the object is disabled, or `msg` carries the end
    // mark (the history has then been flushed). Otherwise the rate is up to date.
    bool PassesThrough(SMSG& msg);

private:
    long rate_;
};

// Runs every object of `chain` in ascending id over its whole input and passes its output
// on; the last object's output is appended to `output`. A result other than TONEXT, REMOVE
// or CAPTURE throws LOGIC_ERROR.
void ProcessChain(const std::map<long, BASEOBJECT*>& chain, SMSG_LIST& output);
