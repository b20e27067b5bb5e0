// A HID device reached through its hidraw node.
#pragma once

#include "devices/hiddevice.h"
#include "devices/hidreportdescriptor.h"

#include <memory>

class THidDeviceController;
class THidDeviceReadThread;

class THidDevice final : public HidDevice
{
    Q_OBJECT
public:
    // Opens the node once (read and write, else read only) and reads its report
    // descriptor; nothing when the node cannot be opened or the descriptor is
    // not usable, so such a device is left out of the list.
    static std::unique_ptr<THidDevice> Create(THidDeviceController *controller, const QString &syspath,
                                              const QString &devnode);
    ~THidDevice() override;

    QString ProductText() override;
    HidCaps Capabilities() override;
    bool OpenedForReadWrite() const override { return m_openedForReadWrite; }
    bool ClaimDevice() override;
    bool IsClaimed() const override { return m_claimed; }
    void SetDataHandler(HidDataHandler handler) override;
    bool WriteReport(const void *buffer, int count) override;
    bool IsPluggedIn() const override { return m_present; }
    QString DevInst() const override { return m_syspath; }

    QString DevNode() const { return m_devnode; }
    bool IsReading() const;

private:
    friend class THidDeviceController;

    THidDevice(THidDeviceController *controller, const QString &syspath, const QString &devnode);

    // Present, and claimed or being announced: only then are handles opened.
    bool Active() const { return m_present && (m_claimed || m_inNotification); }
    // Opens the node read and write, else read only; records which one.
    int OpenNode();
    bool OpenDeviceHandle();
    void CloseDeviceHandle();
    void StartReading();
    void StopReading();
    // Closes the device; it can no longer be opened.
    void MarkUnplugged();
    bool Deliver(uint8_t reportId, const uint8_t *data, int size);

    THidDeviceController *m_controller;
    QString m_syspath;
    QString m_devnode;
    bool m_present = true;
    bool m_claimed = false;
    bool m_inNotification = false;
    // A remove uevent named this node: the instance is gone even if a node of
    // the same name is back by the next scan.
    bool m_removeSeen = false;
    bool m_openedForReadWrite = false;
    int m_deviceFd = -1;
    HidReportLengths m_lengths;
    QString m_productText;
    HidDataHandler m_dataHandler;
    std::unique_ptr<THidDeviceReadThread> m_reader;
    int m_handOverDepth = 0;
};
