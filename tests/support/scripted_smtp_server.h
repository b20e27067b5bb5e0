// An SMTP peer in a thread of the test: answers from a script, records every byte.
#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedSmtpServer
{
public:
    struct Script
    {
        // Sent on accept; empty sends nothing.
        std::string greeting = "220 scripted ready\r\n";
        // Replies by verb (EHLO, HELO, RSET, AUTH, MAIL, RCPT, DATA, QUIT), by
        // "AUTH-USER" / "AUTH-PASS" for the two AUTH LOGIN lines and by "." for
        // the end of the data. The n-th use of a verb takes the n-th reply, the
        // last one repeating. Given entries replace the defaults of that verb.
        std::map<std::string, std::vector<std::string>> replies;
        // Accept and never answer.
        bool silent = false;
        // Connections served one after the other.
        int connections = 1;
        // Pause after each byte of everything sent (greeting and replies), as
        // a stalling peer does; zero sends at once.
        std::chrono::milliseconds drip{0};
        // Once this many bytes of the data have arrived the connection is
        // reset (SO_LINGER 0 close) instead of read on; negative never.
        long resetAfterDataBytes = -1;
    };

    struct Session
    {
        std::vector<std::string> commands; // lines outside the data, without CRLF
        std::string data;                  // bytes after the 354, up to the "." line
        std::string raw;                   // everything the client sent
    };

    explicit ScriptedSmtpServer(Script script);
    ~ScriptedSmtpServer();
    ScriptedSmtpServer(const ScriptedSmtpServer &) = delete;
    ScriptedSmtpServer &operator=(const ScriptedSmtpServer &) = delete;

    quint16 port() const { return port_; }

    // Stops taking connections, lets the current one drain (at most a second
    // once its client has gone quiet) and returns what each connection sent.
    std::vector<Session> sessions();

    // A port on 127.0.0.1 with nobody listening: connecting is refused.
    static quint16 closedPort();

private:
    void run();
    void serve(int fd, Session &session);
    // All of bytes (paced by the drip); false once the client is gone, the
    // server stops or the deadline passes.
    bool sendAll(int fd, const std::string &bytes, std::chrono::steady_clock::time_point end);
    std::string replyFor(const std::string &verb);

    Script script_;
    std::map<std::string, int> uses_;
    int listenFd_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Session> sessions_;
    std::thread thread_;
};
