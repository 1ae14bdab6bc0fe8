// An FTP server that plays a script on one control connection, for exact reply sequences.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// Listens on 127.0.0.1 (port chosen by the system), accepts one connection and runs the script
// on its own thread with plain blocking sockets. Every command line the client sends is
// recorded. Waits inside the script end early when the server is destroyed; the connection
// closes when the script ends.
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
        // Takes the next command, whatever it is, and answers it with `line`.
        void answer(const std::string& line);
        // False when the server is being stopped, so that endless scripts can end.
        bool pause(int ms);
        // True when the client closed the control connection within `timeoutMs`.
        bool clientClosed(int timeoutMs = 5000);

        // Answers TYPE and PASV, naming `host` ("h1,h2,h3,h4") and a listener on 127.0.0.1,
        // then takes the client's data connection.
        void openPassive(const std::string& host = "127,0,0,1");
        // Answers TYPE and PORT; connectData then connects to the port it named.
        void openActive();
        void connectData();
        void sendData(const std::string& bytes);
        void closeData();
        // Waits until the client has sent something on the data connection.
        void awaitData();
        // What the client sends on the data connection until it closes it (an upload), read
        // within `timeoutMs`.
        std::string receiveData(int timeoutMs = 5000);
        // Ends the data connection with a reset instead of an orderly close.
        void resetData();

    private:
        friend class ScriptedFtpServer;
        // Appends what arrives within `timeoutMs`: 1 when something came, 0 when nothing
        // did, -1 at the end of the stream.
        int receive(int timeoutMs);
        ScriptedFtpServer* m_server = nullptr;
        int m_control = -1;
        int m_dataListener = -1;
        int m_data = -1;
        int m_activePort = 0;  // named by the last PORT command
        std::string m_pending; // received text after the last full line
    };
    using Script = std::function<void(Session&)>;

    explicit ScriptedFtpServer(Script script);
    ~ScriptedFtpServer();
    ScriptedFtpServer(const ScriptedFtpServer&) = delete;
    ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

    int port() const { return m_port; }
    // Waits for the script to end; only then are the commands complete.
    void join();
    const std::vector<std::string>& commands() const { return m_commands; }

private:
    void run(const Script& script);

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop = false;
    std::vector<std::string> m_commands;
    std::thread m_thread;
};

} // namespace testing_support
