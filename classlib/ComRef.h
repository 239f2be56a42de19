#pragma once
// A COM reference that is released when its scope ends, also on the way out of an exception.
#include <unknwn.h>

template <class I>
class TComRef {
public:
    TComRef() = default;
    ~TComRef() { Reset(); }
    TComRef(const TComRef&) = delete;
    TComRef& operator=(const TComRef&) = delete;
    I* operator->() const { return p_; }
    I* Get() const { return p_; }
    void** Out() { return reinterpret_cast<void**>(&p_); }
    // Drops the pointer without releasing it: for what a failed call left behind.
    void Forget() { p_ = nullptr; }
    void Reset()
    {
        if (I* p = p_) {
            p_ = nullptr;
            p->Release();
        }
    }

private:
    I* p_ = nullptr;
};
