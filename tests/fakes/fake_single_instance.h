// A SingleInstance whose answer the test chooses and whose "show" request the test sends.
#pragma once

#include "platform/single_instance.h"

class FakeSingleInstance final : public SingleInstance
{
public:
    // `heldElsewhere` makes TryAcquire() report another running instance.
    explicit FakeSingleInstance(bool heldElsewhere = false) : heldElsewhere_(heldElsewhere) {}

    bool TryAcquire() override;
    int Attempts() const { return attempts_; }
    // What another process's "show" request would do.
    void RequestShow() { emit showRequested(); }

private:
    bool heldElsewhere_;
    int attempts_ = 0;
};
