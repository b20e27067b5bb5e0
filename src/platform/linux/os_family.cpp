// Operating-system family on Linux.
#include "platform/os_family.h"

// Linux is not of the NT family: there is no shutdown privilege to enable
// (logind decides who may power off) and the serial power-off takes the
// non-NT path.
bool IsWindowsNT()
{
    return false;
}
