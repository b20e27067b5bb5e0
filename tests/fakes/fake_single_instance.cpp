// A SingleInstance whose answer the test chooses and whose "show" request the test sends.
#include "fakes/fake_single_instance.h"

bool FakeSingleInstance::TryAcquire()
{
    ++attempts_;
    return !heldElsewhere_;
}
