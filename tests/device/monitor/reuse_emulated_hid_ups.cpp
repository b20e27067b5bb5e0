// The emulated USB HID UPS of the device-layer tests, built into the monitor's device tests as well.
#include "../devices/emulated_hid_ups.cpp"
