// An FTP server that plays a script on one control connection, for exact reply sequences.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// Listens on 127.0.0.1 (port chosen by the system), accepts one connection and runs the script
// on its own thread with plain blocking sockets. Every command line the client sends is
// recorded. Waits inside the script end early when the server is destroyed.
class ScriptedFtpServer {
public:
    class Session {
    public:
        // Sends text as it stands / a line followed by CR LF.
        void send(const std::string& text);
        void reply(const std::string& line) { send(line + "\r\n"); }
        // The next command line without its CR LF; empty at the end of the stream or after
        // `timeoutMs`.
        std::string command(int timeoutMs = 5000);
        void pause(int ms);
        // True when the client closed the control connection within `timeoutMs`.
        bool clientClosed(int timeoutMs = 5000);
        void close();

        // Data connections: a listener on `address` (passive), or a connection to the client
        // (active, after PORT).
        int listenData(const std::string& address = "127.0.0.1");
        bool acceptData(int timeoutMs = 5000);
        bool connectData(const std::string& portArgument); // "h1,h2,h3,h4,p1,p2"
        void sendData(const std::string& bytes);
        std::string receiveDataUntilEnd(int timeoutMs = 5000);
        void closeData();
        bool stopping() const;

    private:
        friend class ScriptedFtpServer;
        ScriptedFtpServer* m_server = nullptr;
        int m_control = -1;
        int m_dataListener = -1;
        int m_data = -1;
        std::string m_pending; // received text after the last full line
    };
    using Script = std::function<void(Session&)>;

    explicit ScriptedFtpServer(Script script);
    ~ScriptedFtpServer();
    ScriptedFtpServer(const ScriptedFtpServer&) = delete;
    ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

    int port() const { return m_port; }
    std::vector<std::string> commands() const;
    // Waits for the script to end.
    void join();

private:
    void run(Script script);
    void record(const std::string& line);

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop = false;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    std::thread m_thread;
};

} // namespace testing_support
