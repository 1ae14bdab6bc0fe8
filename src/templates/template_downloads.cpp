// Fetching the offered list and downloading templates into the library, one queue per kind.
#include "templates/template_downloads.h"

#include "core/panes.h"
#include "platform/files.h"
#include "platform/text.h"
#include "templates/template_library.h"

#include <algorithm>

namespace vellumite {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kOfferedPath = "/templates/importtemplates.html";

platform::Document selectPage(AppState& app) {
    return app.host.pane(pane::TemplateSelect).document();
}

// What goes between <body> and </body> of a page (the whole text when it has no body tag).
std::string bodyOf(const std::string& page) {
    const std::string lower = platform::asciiLower(page);
    std::size_t begin = 0;
    if (const std::size_t tag = lower.find("<body"); tag != std::string::npos) {
        const std::size_t close = lower.find('>', tag);
        begin = close == std::string::npos ? page.size() : close + 1;
    }
    const std::size_t end = lower.find("</body", begin);
    return page.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

void setLink(platform::Document& page, std::string_view name, std::string_view text,
             std::string_view target) {
    page.setText(name, text);
    page.setAttribute(name, "href", target);
}

std::string failure(const platform::HttpResponse& response) {
    if (!response.completed)
        return response.error.empty() ? std::string("no answer") : response.error;
    if (!response.ok())
        return "the service answered " + std::to_string(response.status);
    return "the answer was empty";
}

} // namespace

bool TemplateDownloads::busy() const {
    return m_html.current || m_image.current || !m_html.waiting.empty() || !m_image.waiting.empty();
}

void TemplateDownloads::showOffered(AppState& app) {
    platform::Document page = selectPage(app);
    setLink(page, "importlink", "CANCEL", "<$selectmode$>");
    setLink(page, "usedefault", "IMPORT SELECTED", "<$ImportSelected$>");
    page.setText("breaker", " | ");
    page.frame(kListFrame).navigate(app.htmlFile("template-import-template.html"));
    if (!m_offered)
        m_offered = std::make_unique<platform::HttpClient>(app.loop);
    m_offered->cancel();
    m_offered->get(app.serviceAddress(kOfferedPath), [this, &app](const platform::HttpResponse& r) {
        try {
            const std::string body = r.ok() ? bodyOf(r.body) : std::string();
            selectPage(app)
                .frame(kListFrame)
                .setBodyHtml(!body.empty()
                                 ? body
                                 : "<p class=\"failed\">The list of offered templates could not be "
                                   "fetched (" +
                                       platform::htmlEscape(failure(r)) + ").</p>");
        } catch (const std::exception& e) {
            app.host.msgBox(e.what(), "Vellumite");
        }
    });
}

void TemplateDownloads::leaveOffered(AppState& app) {
    if (m_offered)
        m_offered->cancel();
    subShowTemplateSelect(app);
}

void TemplateDownloads::importSelected(AppState& app) {
    platform::Document list = selectPage(app).frame(kListFrame);
    std::vector<std::string> names;
    if (list.formCount() > 0)
        for (const auto& e : list.formElements(0))
            if (e.type == "checkbox" && e.checked)
                names.push_back(e.value);
    if (names.empty() && !busy()) {
        subShowTemplateSelect(app);
        return;
    }
    download(app, names);
}

void TemplateDownloads::download(AppState& app, const std::vector<std::string>& names) {
    std::string refused;
    bool added = false;
    for (const auto& name : names) {
        if (!isSafeTemplateName(name)) {
            refused += "\n" + name;
            continue;
        }
        auto queued = [&](const Queue& q) {
            return q.current == name ||
                   std::find(q.waiting.begin(), q.waiting.end(), name) != q.waiting.end();
        };
        if (queued(m_html))
            continue;
        m_html.waiting.push_back(name);
        m_image.waiting.push_back(name);
        added = true;
    }
    if (!refused.empty())
        app.host.msgBox("These template names were refused, and nothing was downloaded for them "
                        "(a name holds only letters, digits, \"-\", \"_\", \"~\" and \".\"):" +
                            refused,
                        "Vellumite");
    if (!added && !busy()) {
        subShowTemplateSelect(app);
        return;
    }
    platform::Document page = selectPage(app);
    setLink(page, "importlink", "WAIT", "#top");
    setLink(page, "usedefault", "PLEASE", "#top");
    requestNext(app, m_html);
    requestNext(app, m_image);
    showProgress(app);
}

void TemplateDownloads::requestNext(AppState& app, Queue& queue) {
    if (queue.current || queue.waiting.empty())
        return;
    queue.current = queue.waiting.front();
    queue.waiting.pop_front();
    m_lines.push_back(Line{queue.kind, *queue.current, State::Running, {}});
    if (!queue.client)
        queue.client = std::make_unique<platform::HttpClient>(app.loop);
    const std::string file = *queue.current + (queue.kind == Kind::Html ? ".html" : ".gif");
    queue.client->get(app.serviceAddress("/templates/" + platform::percentEncodePath(file)),
                      [this, &app, &queue](const platform::HttpResponse& response) {
                          finished(app, queue, response);
                      });
}

void TemplateDownloads::store(AppState& app, Kind kind, const std::string& name,
                              const std::string& body) {
    // Checked again where the name becomes a path, whatever queued it.
    if (!isSafeTemplateName(name))
        throw std::invalid_argument("the name cannot be a file name");
    const fs::path folder = app.appFolder / "templates";
    fs::create_directories(folder);
    const std::string file = name + (kind == Kind::Html ? ".html" : ".gif");
    auto target = platform::files::resolveNoCase(folder, file, true);
    if (!target)
        throw std::invalid_argument("the name cannot be a file name");
    platform::files::writeFileAtomic(*target, body);
}

void TemplateDownloads::finished(AppState& app, Queue& queue,
                                 const platform::HttpResponse& response) {
    const std::string name = queue.current.value_or("");
    queue.current.reset();
    auto line = std::find_if(m_lines.rbegin(), m_lines.rend(), [&](const Line& l) {
        return l.kind == queue.kind && l.name == name && l.state == State::Running;
    });
    State state = State::Done;
    std::string why;
    try {
        if (!response.ok() || response.body.empty()) {
            state = State::Failed;
            why = failure(response);
        } else {
            store(app, queue.kind, name, response.body);
        }
    } catch (const std::exception& e) {
        state = State::Failed;
        why = e.what();
    }
    if (line != m_lines.rend()) {
        line->state = state;
        line->why = why;
    }
    try {
        requestNext(app, queue);
        if (busy())
            showProgress(app);
        else
            endRun(app);
    } catch (const std::exception& e) {
        app.host.msgBox(e.what(), "Vellumite");
    }
}

std::string TemplateDownloads::lineHtml(const Line& line) {
    const bool html = line.kind == Kind::Html;
    const std::string what = html ? "html" : "thumbnail";
    const std::string name = platform::htmlEscape(line.name);
    if (line.state == State::Failed)
        return "<span class=\"failed\">Failed:</span> the " + what + " for " + name +
               " could not be downloaded (" + platform::htmlEscape(line.why) + ").<BR>";
    return std::string("<img src='") +
           (line.state == State::Done ? "complete.gif" : "progressspinneranim.gif") +
           "' align=absmiddle name='" + (html ? "htmlspinner" : "gifspinner") +
           "'> Now downloading " + what + " for " + name + ".<BR>";
}

void TemplateDownloads::showProgress(AppState& app) {
    std::string body = "<div class=\"downloads\" id=\"top\">" + std::string(kDownloadingText);
    for (const auto& line : m_lines)
        body += lineHtml(line);
    selectPage(app).frame(kListFrame).setBodyHtml(body + "</div>");
}

void TemplateDownloads::endRun(AppState& app) {
    std::string failed;
    for (const auto& line : m_lines)
        if (line.state == State::Failed)
            failed += "\n" + std::string(line.kind == Kind::Html ? "html" : "thumbnail") + " for " +
                      line.name + ": " + line.why;
    m_lines.clear();
    subShowTemplateSelect(app);
    if (!failed.empty())
        app.host.msgBox("These downloads failed:" + failed, "Vellumite");
}

} // namespace vellumite
