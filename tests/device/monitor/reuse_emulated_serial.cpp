// The emulated serial UPS port of the device-layer tests, built into the monitor's device tests as well.
#include "../devices/emulated_serial.cpp"
