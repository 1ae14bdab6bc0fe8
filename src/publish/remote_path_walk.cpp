// The path recovery steps, one CWD and PWD each.
#include "publish/remote_path_walk.h"

namespace vellumite {

RemotePathWalk::RemotePathWalk(CFtpClient& client, std::string configuredPath, Rules rules)
    : m_client(client), m_path(std::move(configuredPath)), m_rules(rules) {}

const char* RemotePathWalk::stateWord(Step step) {
    switch (step) {
    case Step::GoFtpPath:
        return "goftppath";
    case Step::GoRootPath:
        return "gorootpath";
    case Step::GoFtpPathFromRoot:
        return "goftppathfromroot";
    case Step::GoDefaultWithUserPath:
        return "godefaultwithuserpath";
    case Step::Idle:
    case Step::Done:
        break;
    }
    return "";
}

void RemotePathWalk::begin() {
    m_loginDirectory = m_client.CurrentDirectory();
    if (m_path.empty() || (m_rules.skipWhenAtLoginFolder && m_loginDirectory == m_path)) {
        finish(Outcome::Arrived);
        return;
    }
    moveTo(Step::GoFtpPath, m_path);
}

void RemotePathWalk::moveTo(Step step, const std::string& path) {
    m_step = step;
    m_awaitingPwd = false;
    m_client.SetCurrentDirectory(path);
}

void RemotePathWalk::finish(Outcome outcome) {
    m_step = Step::Done;
    m_awaitingPwd = false;
    if (OnDone)
        OnDone(outcome);
}

bool RemotePathWalk::onSetCurrentDirectory(AsyncResultStatus status) {
    if (!walking() || m_awaitingPwd)
        return false;
    if (status == arStatusTimeOut || status == arStatusCancel) {
        finish(status == arStatusTimeOut ? Outcome::TimedOut : Outcome::Cancelled);
        return true;
    }
    // A refused CWD is no failure yet: the folder the server reports decides.
    m_awaitingPwd = true;
    m_client.GetCurrentDirectory();
    return true;
}

bool RemotePathWalk::onGetCurrentDirectory(AsyncResultStatus status) {
    if (!walking() || !m_awaitingPwd)
        return false;
    if (status == arStatusTimeOut || status == arStatusCancel) {
        finish(status == arStatusTimeOut ? Outcome::TimedOut : Outcome::Cancelled);
        return true;
    }
    const std::string& current = m_client.CurrentDirectory();
    switch (m_step) {
    case Step::GoFtpPath:
        if (current == m_path)
            finish(Outcome::Arrived);
        else
            moveTo(Step::GoRootPath, "/");
        break;
    case Step::GoRootPath:
        if (m_rules.acceptRoot && current == m_path)
            finish(Outcome::Arrived);
        else
            moveTo(Step::GoFtpPathFromRoot, m_path);
        break;
    case Step::GoFtpPathFromRoot:
        if (current == m_path) {
            finish(Outcome::Arrived);
        } else {
            // The login folder and the path, with one "/" between them.
            std::string joined = m_loginDirectory;
            if (joined.ends_with('/') && m_path.starts_with('/'))
                joined.pop_back();
            else if (!joined.ends_with('/') && !m_path.starts_with('/'))
                joined += '/';
            moveTo(Step::GoDefaultWithUserPath, joined + m_path);
        }
        break;
    case Step::GoDefaultWithUserPath:
        finish(current.find(m_path) != std::string::npos ? Outcome::Arrived : Outcome::Lost);
        break;
    case Step::Idle:
    case Step::Done:
        break;
    }
    return true;
}

} // namespace vellumite
