// Which family of operating system the program runs on, for steps that only one family needs.
#pragma once

// True only on the Windows NT family, where a process must enable its
// shutdown privilege and the serial power-off differs; always false here.
bool IsWindowsNT();
