// STATE<T>: a value the core reports to its host. Set raises the changed flag only when the
// value really changes, so the worker's periodic reports go out only for news. Every state
// starts with the flag raised: the first report always goes out.
#pragma once

template <typename T> class STATE
{
public:
    explicit STATE(const T& initial) : value_(initial), initial_(initial) {}
    virtual ~STATE() = default;

    virtual const T& Set(const T& value)
    {
        if (!(value == value_))
        {
            value_ = value;
            changed_ = true;
        }
        return value_;
    }
    virtual void Reset()
    {
        value_ = initial_;
        changed_ = true;
    }
    virtual const T& Get() const { return value_; }
    virtual bool IsChanged() const { return changed_; }
    virtual void ClearChanged() { changed_ = false; }

private:
    T value_;
    T initial_;
    bool changed_ = true;
};
