// The fake web service (fake_service.py) run for a test on 127.0.0.1, and what it recorded.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

class FakeService {
public:
    // Starts the service with the given command-line options; returns once it listens.
    explicit FakeService(const std::vector<std::string>& options = {});
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    const std::string& url() const { return m_url; }
    // The requests it has recorded so far: method, path, headers, bodyHex.
    nlohmann::json requests() const;

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_url;
};

// A plain blocking GET, for tests; the body, or throws std::runtime_error.
std::string httpGet(const std::string& url);

} // namespace testing_support
