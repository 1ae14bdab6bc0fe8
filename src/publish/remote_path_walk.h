// Finding the site's folder on the server after login, whatever spelling the server uses.
#pragma once

#include "net/ftp_client.h"

#include <functional>
#include <string>

namespace vellumite {

// Said when every attempt failed.
inline constexpr const char* kPathNotFoundMessage =
    "Vellumite had problems finding your ftp path, multiple attempts were made to resolve the "
    "path.  Check the help for hints on ways to fix this.";

// After login the client is moved to the configured path; when the server then reports
// another folder, the walk tries the root and the path from there, and last the login folder
// followed by the path. Each step is a CWD followed by a PWD, driven by the client's events:
// the owner hands OnSetCurrentDirectory and OnGetCurrentDirectory on while the walk is under
// way. Used by the publish run and by the upload dialogs (with their two differences in Rules).
class RemotePathWalk {
public:
    // The step under way; the state word of each is what the owner's state shows.
    enum class Step { Idle, GoFtpPath, GoRootPath, GoFtpPathFromRoot, GoDefaultWithUserPath, Done };
    enum class Outcome {
        Arrived,  // the client is in the folder
        Lost,     // every attempt failed
        TimedOut, // the server stopped answering (the operation is left for the owner)
        Cancelled,
    };

    struct Rules {
        // No walk either when the login folder already is the configured path.
        bool skipWhenAtLoginFolder = false;
        // Arrived at once when the root turns out to be the configured path.
        bool acceptRoot = false;
    };

    RemotePathWalk(CFtpClient& client, std::string configuredPath, Rules rules);
    RemotePathWalk(CFtpClient& client, std::string configuredPath)
        : RemotePathWalk(client, std::move(configuredPath), Rules{}) {}

    // Begins right after a successful OnConnect: notes the login folder, and arrives at once
    // when there is no path to look for. The client's methods may throw (a session that went
    // away): the owner reports that.
    void begin();
    // The client's events while the walk is under way. Each returns false when the walk was
    // not waiting for it (the event belongs to another of the owner's states).
    bool onSetCurrentDirectory(AsyncResultStatus status);
    bool onGetCurrentDirectory(AsyncResultStatus status);

    Step step() const { return m_step; }
    bool walking() const { return m_step != Step::Idle && m_step != Step::Done; }
    // "goftppath", "gorootpath", "goftppathfromroot", "godefaultwithuserpath"; "" otherwise.
    static const char* stateWord(Step step);
    const std::string& loginDirectory() const { return m_loginDirectory; }

    std::function<void(Outcome)> OnDone;

private:
    void moveTo(Step step, const std::string& path);
    void finish(Outcome outcome);

    CFtpClient& m_client;
    std::string m_path;
    Rules m_rules;
    std::string m_loginDirectory;
    Step m_step = Step::Idle;
    bool m_awaitingPwd = false;
};

} // namespace vellumite
