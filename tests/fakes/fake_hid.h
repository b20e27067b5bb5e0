// A HID controller and devices that a test plugs, unplugs and feeds reports, recording claims and writes.
#pragma once

#include "call_log.h"
#include "devices/hiddevice.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>

// Call log entries: "Claim(<product>)", "Handler(<product>,set|none)",
// "Write(<product>,00 02)", "Release(<product>)".
class FakeHidDevice : public HidDevice
{
public:
    FakeHidDevice(CallLog *log, QString product, int outputLength, bool readWrite, QObject *parent)
        : HidDevice(parent), product(std::move(product)), readWrite(readWrite), log_(log)
    {
        caps.InputReportByteLength = 9;
        caps.OutputReportByteLength = outputLength;
    }

    QString ProductText() override { return product; }
    HidCaps Capabilities() override { return caps; }
    bool OpenedForReadWrite() const override { return readWrite; }
    bool ClaimDevice() override
    {
        if (!plugged || claimed) return false;
        claimed = true;
        add(QStringLiteral("Claim(%1)").arg(product));
        return true;
    }
    bool IsClaimed() const override { return claimed; }
    void SetDataHandler(HidDataHandler h) override
    {
        handler = std::move(h);
        add(QStringLiteral("Handler(%1,%2)")
                .arg(product, handler ? QStringLiteral("set") : QStringLiteral("none")));
    }
    bool WriteReport(const void *buffer, int count) override
    {
        const QByteArray bytes(static_cast<const char *>(buffer), count);
        writes << bytes;
        add(QStringLiteral("Write(%1,%2)").arg(product, QString::fromLatin1(bytes.toHex(' '))));
        return plugged && writeSucceeds;
    }
    bool IsPluggedIn() const override { return plugged; }
    QString DevInst() const override { return QStringLiteral("fake/") + product; }

    // An input report as the read thread hands it over: report id first.
    // False when nobody reads the device.
    bool Send(const QByteArray &report)
    {
        if (!handler || !claimed || !readWrite || !plugged || report.isEmpty()) return false;
        const auto *bytes = reinterpret_cast<const uint8_t *>(report.constData());
        handler(this, bytes[0], bytes + 1, int(report.size()) - 1);
        return true;
    }

    QString product;
    HidCaps caps;
    bool readWrite;
    bool claimed = false;
    bool plugged = true;
    bool writeSucceeds = true;
    HidDataHandler handler;
    QList<QByteArray> writes;

private:
    void add(const QString &entry)
    {
        if (log_) log_->Add(entry);
    }
    CallLog *log_;
};

// Devices are its children. Destroying it leaves a claimed device, marked
// unplugged, to the controller's parent, as the real controller does.
class FakeHidController : public HidDeviceController
{
public:
    explicit FakeHidController(CallLog *log = nullptr) : log_(log) {}
    ~FakeHidController() override
    {
        OnArrival = nullptr;
        OnRemoval = nullptr;
        const QObjectList devices = children();
        for (QObject *child : devices) {
            auto *device = static_cast<FakeHidDevice *>(child);
            if (device->claimed) {
                device->plugged = false;
                device->handler = nullptr;
                device->setParent(parent());
            }
        }
        if (log_) log_->Add(QStringLiteral("Controller destroyed"));
    }

    // Plugs a device in and announces it.
    FakeHidDevice *Plug(const QString &product, int outputLength = 9, bool readWrite = true)
    {
        auto *device = new FakeHidDevice(log_, product, outputLength, readWrite, this);
        if (OnArrival) OnArrival(device);
        return device;
    }
    // Unplugs a device and announces its removal; an unclaimed one goes away.
    void Unplug(FakeHidDevice *device)
    {
        device->plugged = false;
        device->handler = nullptr;
        QPointer<FakeHidDevice> alive(device);
        if (OnRemoval) OnRemoval(device);
        if (alive && !alive->claimed) delete alive.data();
    }

    void ReleaseDevice(HidDevice *&device) override
    {
        auto *fake = static_cast<FakeHidDevice *>(device);
        device = nullptr;
        if (!fake) return;
        if (log_) log_->Add(QStringLiteral("Release(%1)").arg(fake->product));
        fake->handler = nullptr;
        fake->claimed = false;
        if (!fake->plugged) delete fake;
    }

private:
    CallLog *log_;
};
