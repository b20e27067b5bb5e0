// Power-off through systemd-logind on the system bus, with a spawned `systemctl poweroff` as fallback.
#pragma once

#include "platform/system_power.h"

#include <QString>
#include <QStringList>
#include <functional>

// Starts `program` with `arguments` and does not wait for it.
using CommandSpawner = std::function<void(const QString &program, const QStringList &arguments)>;

// The real spawner: detached, so the child is never a zombie of ours.
void SpawnDetached(const QString &program, const QStringList &arguments);

class LogindPower final : public SystemPower
{
public:
    // `fallback` runs `systemctl poweroff` when logind cannot be asked; only
    // the program's entry point passes SpawnDetached.
    explicit LogindPower(CommandSpawner fallback);

    // Calls org.freedesktop.login1.Manager.PowerOff(false) on the bus named by
    // DBUS_SYSTEM_BUS_ADDRESS (else the standard system bus socket) without
    // waiting for the reply; the fallback runs when no connection can be made
    // or when the call comes back with an error.
    void RequestPowerOff() override;

private:
    CommandSpawner fallback_;
};
