// The three UPS states and the setters through which the links report them.
#pragma once

#include <cstdint>

// MainsState: 0 Failed, 1 Normal, 2 Unknown; BatteryState: 0 Low, 1 Normal,
// 2 Unknown; LinkState: 0 Lost, 1 Connected, 2 Unknown.
namespace UpsState {
constexpr uint8_t Off = 0; // Failed / Low / Lost
constexpr uint8_t Normal = 1;
constexpr uint8_t Unknown = 2;
} // namespace UpsState

class PowerStates
{
public:
    virtual ~PowerStates() = default;
    virtual void SetMainsState(uint8_t state, bool force) = 0;
    virtual void SetBatteryState(uint8_t state, bool force) = 0;
    virtual void SetLinkState(uint8_t state, bool force) = 0;
    virtual uint8_t MainsState() const = 0;
    virtual uint8_t BatteryState() const = 0;
    virtual uint8_t LinkState() const = 0;
};
