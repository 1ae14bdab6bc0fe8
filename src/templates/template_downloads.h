// The templates the web service offers, and the two download queues that fetch them into the
// library.
#pragma once

#include "core/app_state.h"
#include "platform/http_client.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

inline constexpr std::string_view kDownloadingText =
    "Downloading, please wait.  You will be returned to the Template Select screen when "
    "downloading is complete.<BR>";

// One per program, for as long as it runs: a download run goes on whatever screen is shown.
// Completions arrive on the event loop; destroying the object abandons what is under way.
class TemplateDownloads {
public:
    // <$import: the offered list, fetched from the web service, in the select screen's frame.
    void showOffered(AppState& app);
    // <$selectmode$>: back to the select screen; a list still on its way is dropped.
    void leaveOffered(AppState& app);
    // <$ImportSelected$>: downloads the ticked templates of the offered list.
    void importSelected(AppState& app);
    // <$getimporttemplate-NAME and the ticked names: each name's HTML and thumbnail are
    // queued; names that could not be file names are refused and nothing is fetched for them.
    void download(AppState& app, const std::vector<std::string>& names);

    // A download is running or waiting.
    bool busy() const;

private:
    enum class Kind { Html, Image };
    enum class State { Running, Done, Failed };
    struct Line {
        Kind kind;
        std::string name;
        State state = State::Running;
        std::string why; // of a failure
    };
    struct Queue {
        Kind kind;
        std::deque<std::string> waiting;
        std::optional<std::string> current;
        std::unique_ptr<platform::HttpClient> client;
    };

    void requestNext(AppState& app, Queue& queue);
    void finished(AppState& app, Queue& queue, const platform::HttpResponse& response);
    void store(AppState& app, Kind kind, const std::string& name, const std::string& body);
    void showProgress(AppState& app);
    void endRun(AppState& app);
    static std::string lineHtml(const Line& line);

    Queue m_html{Kind::Html, {}, {}, {}};
    Queue m_image{Kind::Image, {}, {}, {}};
    std::unique_ptr<platform::HttpClient> m_offered;
    std::vector<Line> m_lines;
};

} // namespace vellumite
