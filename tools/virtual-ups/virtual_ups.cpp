// The emulated UPS on USB or on a serial cable: what it sends, and what it reports having received.
#include "virtual_ups.h"

#include "emulated_hid_ups.h"
#include "emulated_serial.h"

#include <stdexcept>

namespace vups {

namespace {

constexpr int kObservePeriodMs = 50;
// A UPS repeats its state now and then, as real ones do; the program ignores repeats.
constexpr qint64 kResendMs = 1000;
// Keep-alives come every 500 ms: a gap this long means they stopped.
constexpr qint64 kKeepAliveGapMs = 1500;

QString Hex(const HidBytes &bytes)
{
    QStringList out;
    for (uint8_t b : bytes)
        out << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    return out.join(QLatin1Char(' '));
}

} // namespace

// The console may sit on the first serial ports: the testbed shadows them
// with inert nodes, so a port typed into the program's settings can never
// reach the real ones.
void ShadowRealSerialPorts(UMockdevTestbed *tb)
{
    for (int i = 0; i < 4; ++i) {
        const QString text =
            QStringLiteral("P: /devices/platform/serial8250/tty/ttyS%1\nN: ttyS%1=00\n"
                           "E: DEVNAME=/dev/ttyS%1\nE: SUBSYSTEM=tty\nA: dev=4:%2\nA: type=0\n")
                .arg(i)
                .arg(64 + i);
        GError *error = nullptr;
        if (!umockdev_testbed_add_from_string(tb, text.toUtf8().constData(), &error)) {
            const std::string why = error ? error->message : "unknown";
            g_clear_error(&error);
            throw std::runtime_error("cannot shadow ttyS" + std::to_string(i) + ": " + why);
        }
    }
}

VirtualUps::VirtualUps(Link link, const QString &product, Say say)
    : link_(link), say_(std::move(say)), testbed_(std::make_unique<HidTestbed>())
{
    clock_.start();
    ShadowRealSerialPorts(testbed_->get());
    if (link_ == Link::Usb) {
        usb_ = std::make_unique<EmulatedHidUps>(*testbed_, hid_descriptors::UpsWithoutIds(9, 9), false,
                                                product.toStdString());
        usb_->Plug();
        Tell(QStringLiteral("UPS: USB HID device \"%1\" plugged in as %2")
                 .arg(product, QString::fromStdString(usb_->Node())));
        Tell(QStringLiteral("UPS: %1").arg(Describe(state_)));
    } else {
        serial_ = std::make_unique<EmulatedSerial>(testbed_->get(), kSerialNode);
        Tell(QStringLiteral("UPS: serial cable on %1").arg(QString::fromStdString(serial_->path())));
        SetSerialLines();
    }
    connect(&observer_, &QTimer::timeout, this, &VirtualUps::Observe);
    observer_.start(kObservePeriodMs);
}

VirtualUps::~VirtualUps()
{
    observer_.stop();
    usb_.reset();
    serial_.reset();
}

QString VirtualUps::ProgramPort() const
{
    return link_ == Link::Usb ? QStringLiteral("USB") : QString::fromStdString(serial_->path());
}

void VirtualUps::Apply(const Command &command)
{
    using K = Command::Kind;
    const UpsState before = state_;
    switch (command.kind) {
    case K::MainsOff:
        state_.mainsOn = false;
        break;
    case K::MainsOn:
        state_.mainsOn = true;
        break;
    case K::BatteryLow:
        state_.batteryLow = true;
        break;
    case K::BatteryOk:
        state_.batteryLow = false;
        break;
    case K::Code:
        if (link_ != Link::Usb) {
            Tell(QStringLiteral("UPS: a serial cable has no status codes"));
            return;
        }
        state_.rawCode = command.code;
        break;
    case K::Unplug:
        if (!state_.connected) return Tell(QStringLiteral("UPS: already unplugged"));
        state_.connected = false;
        if (usb_) {
            usb_->Unplug();
            Tell(QStringLiteral("UPS: USB device unplugged"));
        } else {
            Tell(QStringLiteral("UPS: serial cable pulled (CTS and DCD drop)"));
        }
        break;
    case K::Plug:
        if (state_.connected) return Tell(QStringLiteral("UPS: already plugged in"));
        state_.connected = true;
        if (usb_) {
            usb_->Plug();
            readCallsAtSend_ = -1;
            keepAliveSincePlug_ = false;
            sendDue_ = true;
            Tell(
                QStringLiteral("UPS: USB device plugged in as %1").arg(QString::fromStdString(usb_->Node())));
        } else {
            Tell(QStringLiteral("UPS: serial cable attached"));
        }
        break;
    default:
        return;
    }
    if (command.kind != K::Code && command.kind != K::Unplug && command.kind != K::Plug) state_.rawCode = -1;

    if (link_ == Link::Serial) {
        const SerialLines was = SerialLinesFor(before);
        const SerialLines now = SerialLinesFor(state_);
        if (was.cts == now.cts && was.dcd == now.dcd && command.kind != K::Unplug && command.kind != K::Plug)
            Tell(QStringLiteral("UPS: %1 (the cable shows no change: CTS %2, DCD %3)")
                     .arg(Describe(state_), now.cts ? QStringLiteral("on") : QStringLiteral("off"),
                          now.dcd ? QStringLiteral("on") : QStringLiteral("off")));
        SetSerialLines();
    } else {
        if (UsbStatusCode(state_) == UsbStatusCode(before) && command.kind != K::Plug &&
            command.kind != K::Unplug)
            Tell(QStringLiteral("UPS: %1 (the status code stays %2)")
                     .arg(Describe(state_))
                     .arg(UsbStatusCode(state_)));
        sendDue_ = true;
        SendStatusIfDue();
    }
}

void VirtualUps::SetSerialLines()
{
    const SerialLines lines = SerialLinesFor(state_);
    const int before = serial_->lines();
    serial_->setInputs((lines.cts ? TIOCM_CTS : 0) | (lines.dcd ? TIOCM_CD : 0));
    if ((before & (TIOCM_CTS | TIOCM_CD)) != (serial_->lines() & (TIOCM_CTS | TIOCM_CD)))
        Tell(QStringLiteral("UPS: %1: CTS %2, DCD %3")
                 .arg(state_.connected ? Describe(state_) : QStringLiteral("cable pulled"),
                      lines.cts ? QStringLiteral("on") : QStringLiteral("off"),
                      lines.dcd ? QStringLiteral("on") : QStringLiteral("off")));
}

void VirtualUps::SendStatusIfDue()
{
    if (!usb_ || !usb_->Plugged() || sending_) return;
    const qint64 now = clock_.elapsed();
    if (!sendDue_ && now - lastSendMs_ < kResendMs) return;
    // A real hidraw node gives one report per read: the next one goes out only
    // once the program has read the last (the node is a byte stream here).
    if (readCallsAtSend_ >= 0 && usb_->ReadCalls() <= readCallsAtSend_) return;
    const int code = UsbStatusCode(state_);
    sending_ = true;
    readCallsAtSend_ = usb_->ReadCalls();
    const bool sent = usb_->SendStatus(static_cast<uint8_t>(code));
    sending_ = false;
    lastSendMs_ = now;
    if (!sent) return;
    if (code != lastSentCode_ || sendDue_)
        Tell(QStringLiteral("UPS: sends status code %1 (%2)").arg(code).arg(DescribeCode(code)));
    lastSentCode_ = code;
    sendDue_ = false;
}

void VirtualUps::Observe()
{
    if (usb_) {
        ObserveUsb();
        SendStatusIfDue();
    } else {
        ObserveSerial();
    }
}

void VirtualUps::ObserveUsb()
{
    const std::vector<HidBytes> outputs = usb_->OutputReports();
    const qint64 now = clock_.elapsed();
    for (; outputsSeen_ < outputs.size(); ++outputsSeen_) {
        const HidBytes &report = outputs[outputsSeen_];
        if (report == HidBytes{0x00, 0x02}) {
            ++keepAlivesTotal_;
            keepAlives_.push_back(now);
            lastKeepAliveMs_ = now;
            keepAliveSincePlug_ = true;
            if (!keepAliveFlowing_) Tell(QStringLiteral("UPS: keep-alives started (00 02)"));
            keepAliveFlowing_ = true;
        } else if (report.size() >= 2 && report[0] == 0x00 && report[1] == 0x01) {
            ++powerOffReports_;
            Tell(QStringLiteral("UPS: received the power-off report (%1 bytes: %2)")
                     .arg(report.size())
                     .arg(Hex(report)));
        } else {
            Tell(QStringLiteral("UPS: received an unknown output report: %1").arg(Hex(report)));
        }
    }
    while (!keepAlives_.empty() && now - keepAlives_.front() > 2000)
        keepAlives_.pop_front();
    if (keepAliveFlowing_ && now - lastKeepAliveMs_ > kKeepAliveGapMs) {
        keepAliveFlowing_ = false;
        Tell(QStringLiteral("UPS: keep-alives stopped"));
    }
}

void VirtualUps::ObserveSerial()
{
    const std::vector<std::string> history = serial_->outputHistory();
    for (; historySeen_ < history.size(); ++historySeen_) {
        const QString what = QString::fromStdString(history[historySeen_]);
        Tell(QStringLiteral("UPS: %1").arg(what));
        // the program holds DTR low and RTS high once it watches the cable;
        // DTR raised after that is its power-off command
        if (what == QLatin1String("DTR off")) dtrDropped_ = true;
        if (what == QLatin1String("RTS on") && dtrDropped_) serialLinkUp_ = true;
        if (what == QLatin1String("DTR on") && serialLinkUp_) {
            ++dtrPowerOffs_;
            Tell(QStringLiteral("UPS: DTR raised: the power-off command"));
        }
    }
}

bool VirtualUps::Seen(WaitFor what) const
{
    switch (what) {
    case WaitFor::Link:
        return usb_ ? keepAliveSincePlug_ : serialLinkUp_;
    case WaitFor::PowerOff:
        return usb_ ? powerOffReports_ > 0 : dtrPowerOffs_ > 0;
    default:
        return false;
    }
}

QString VirtualUps::StatusText() const
{
    QString text = QStringLiteral("status: %1").arg(Describe(state_));
    if (usb_) {
        text += state_.connected
                    ? QStringLiteral("; USB plugged in as %1").arg(QString::fromStdString(usb_->Node()))
                    : QStringLiteral("; USB unplugged");
        text += QStringLiteral("; sends code %1").arg(UsbStatusCode(state_));
        // the window holds the last two seconds
        text += QStringLiteral("; received: keep-alives %1/s (%2 in all), power-off reports %3")
                    .arg(keepAlives_.size() / 2.0, 0, 'f', 1)
                    .arg(keepAlivesTotal_)
                    .arg(powerOffReports_);
    } else {
        const int lines = serial_->lines();
        text += state_.connected ? QStringLiteral("; cable attached") : QStringLiteral("; cable pulled");
        text += QStringLiteral("; sends CTS %1, DCD %2; received: DTR %3, RTS %4, power-off commands %5")
                    .arg((lines & TIOCM_CTS) ? QStringLiteral("on") : QStringLiteral("off"),
                         (lines & TIOCM_CD) ? QStringLiteral("on") : QStringLiteral("off"),
                         (lines & TIOCM_DTR) ? QStringLiteral("on") : QStringLiteral("off"),
                         (lines & TIOCM_RTS) ? QStringLiteral("on") : QStringLiteral("off"))
                    .arg(dtrPowerOffs_);
    }
    return text;
}

} // namespace vups
