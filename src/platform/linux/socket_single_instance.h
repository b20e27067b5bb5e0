// The single-instance lock as an abstract-namespace Unix socket that also carries "show" requests.
#pragma once

#include "platform/single_instance.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <memory>

class QSocketNotifier;

// The lock is the abstract socket "\0<name>-<uid>": per user, so two users'
// instances never collide, and released by the kernel however the holder
// ends, so a crashed instance never blocks the next start.
class SocketSingleInstance final : public SingleInstance
{
    Q_OBJECT
public:
    explicit SocketSingleInstance(const QString &name, QObject *parent = nullptr);
    ~SocketSingleInstance() override;

    bool TryAcquire() override;

    // Asks the instance holding `name` (of this user) to show itself; false
    // when no such instance listens or it could not be told.
    static bool SendShow(const QString &name);

private:
    struct Peer;
    void AcceptPending();
    void ReadPeer(int fd);
    void DropPeer(int fd);

    QByteArray address_;
    int listenFd_ = -1;
    QSocketNotifier *listenNotifier_ = nullptr; // a child of the instance
    std::map<int, std::unique_ptr<Peer>> peers_;
};
