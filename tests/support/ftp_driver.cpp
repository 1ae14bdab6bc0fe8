// The test driver of CFtpClient.
#include "support/ftp_driver.h"

namespace testing_support {

using vellumite::AsyncResultStatus;

FtpDriver::FtpDriver(platform::EventLoop& loop, vellumite::CFtpClient& client)
    : m_loop(loop), m_client(client) {
    auto completion = [this](const char* name) {
        return [this, name](AsyncResultStatus status) { completions.emplace_back(name, status); };
    };
    client.OnConnect = completion("OnConnect");
    client.OnCreateDirectory = completion("OnCreateDirectory");
    client.OnDeleteFile = completion("OnDeleteFile");
    client.OnGetCurrentDirectory = completion("OnGetCurrentDirectory");
    client.OnSetCurrentDirectory = completion("OnSetCurrentDirectory");
    client.OnRemoveDirectory = completion("OnRemoveDirectory");
    client.OnRenameFile = completion("OnRenameFile");
    client.OnDownloadFile = completion("OnDownloadFile");
    client.OnUploadFile = completion("OnUploadFile");
    client.OnEnumFiles = completion("OnEnumFiles");
    client.OnQuitSession = completion("OnQuitSession");
    client.OnQuote = completion("OnQuote");
    client.OnDataTransferProgress = [this](std::int64_t n) { progress.push_back(n); };
    client.OnStateChange = [this](vellumite::FtpState s) { states.push_back(s); };
    client.OnTlsEstablished = [this](const std::string& text) { tls.push_back(text); };
    client.OnWaitChange = [this](vellumite::FtpWait, vellumite::FtpWait to) {
        waits.push_back(to);
    };
}

std::optional<AsyncResultStatus> FtpDriver::run(const std::function<void()>& start,
                                                std::chrono::milliseconds limit) {
    const std::size_t before = completions.size();
    start();
    if (!m_loop.runUntil([&] { return completions.size() > before; }, limit))
        return std::nullopt;
    return completions[before].second;
}

std::optional<AsyncResultStatus> FtpDriver::next(std::chrono::milliseconds limit) {
    return run([] {}, limit);
}

namespace {

::testing::AssertionResult unexpected(std::optional<AsyncResultStatus> status,
                                      const std::string& lastError) {
    return ::testing::AssertionFailure()
           << "completion " << (status ? std::to_string(*status) : "none") << ", last error "
           << lastError;
}

} // namespace

::testing::AssertionResult FtpDriver::succeeds(const std::function<void()>& start) {
    const auto status = run(start);
    return status == vellumite::arStatusOk ? ::testing::AssertionSuccess()
                                           : unexpected(status, lastError());
}

::testing::AssertionResult FtpDriver::failsWith(std::int32_t number,
                                                const std::function<void()>& start) {
    const auto status = run(start);
    return status == vellumite::arStatusError && m_client.LastFtpError().Number == number
               ? ::testing::AssertionSuccess()
               : unexpected(status, lastError());
}

void FtpDriver::settle(std::chrono::milliseconds span) {
    m_loop.runUntil([] { return false; }, span);
}

std::string FtpDriver::lastError() const {
    const auto& e = m_client.LastFtpError();
    return std::to_string(e.Number) + " " + e.Description + " [" + e.Source + "]";
}

} // namespace testing_support
