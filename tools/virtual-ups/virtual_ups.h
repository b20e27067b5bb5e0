// The emulated UPS on USB or on a serial cable: what it sends, and what it reports having received.
#pragma once

#include "scenario.h"
#include "ups_state.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class EmulatedHidUps;
class EmulatedSerial;
class HidTestbed;
typedef struct _UMockdevTestbed UMockdevTestbed;

namespace vups {

// Shadows the machine's first serial ports (the console may sit there) with
// inert nodes in the testbed, so a port typed into the program's settings can
// never reach a real one. Throws std::runtime_error when the testbed refuses.
void ShadowRealSerialPorts(UMockdevTestbed *tb);

enum class Link { Usb, Serial };

using Say = std::function<void(const QString &)>;

// Lives in this process's umockdev testbed; a program started with the same
// UMOCKDEV_DIR under the preload sees the device.
class VirtualUps : public QObject
{
    Q_OBJECT
public:
    // The serial port's node, the only one the program may open.
    static constexpr const char *kSerialNode = "ttyUSB0";

    VirtualUps(Link link, const QString &product, Say say);
    ~VirtualUps() override;

    Link link() const { return link_; }
    // What the program's sCOM must say to reach this UPS.
    QString ProgramPort() const;

    // A state command (mains, battery, plug, code); others are not for it.
    void Apply(const Command &command);
    QString StatusText() const;
    bool Seen(WaitFor what) const;

private:
    void Observe();
    void ObserveUsb();
    void ObserveSerial();
    void SendStatusIfDue();
    void SetSerialLines();
    void Tell(const QString &text) const { say_(text); }

    Link link_;
    Say say_;
    UpsState state_;
    std::unique_ptr<HidTestbed> testbed_;
    std::unique_ptr<EmulatedHidUps> usb_;
    std::unique_ptr<EmulatedSerial> serial_;
    QTimer observer_;
    QElapsedTimer clock_;

    // USB: status reports
    int lastSentCode_ = -1;
    bool sendDue_ = true;
    bool sending_ = false;
    int readCallsAtSend_ = -1; // -1: nothing sent since the plug-in
    qint64 lastSendMs_ = 0;
    // USB: output reports
    std::size_t outputsSeen_ = 0;
    std::deque<qint64> keepAlives_; // times of the last few seconds' keep-alives
    qint64 lastKeepAliveMs_ = -1;
    bool keepAliveFlowing_ = false;
    int keepAlivesTotal_ = 0;
    bool keepAliveSincePlug_ = false;
    int powerOffReports_ = 0;
    // serial
    std::size_t historySeen_ = 0;
    bool dtrDropped_ = false;
    bool serialLinkUp_ = false;
    int dtrPowerOffs_ = 0;
};

} // namespace vups
