// The insert-image and insert-link dialogs: their controls, the history, the chosen file and
// the upload before the tag or link goes into the post.
#include "publish/upload_dialogs.h"

#include "core/post_dialogs.h"
#include "core/post_insert.h"
#include "platform/image_size.h"
#include "platform/text.h"
#include "publish/upload_session.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace vellumite {

namespace {

using nlohmann::json;
using platform::ControlKind;

constexpr const char* kNoFileSelected = "No file Selected";
constexpr auto kAnimation = std::chrono::milliseconds(400);

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string noFileToUpload(std::string_view text, std::string_view what) {
    return "There is no file " + std::string(text) + " to upload. Choose the " + std::string(what) +
           " with Browse.";
}

// What both dialogs share: the form, the chosen file, the session and its status line.
class UploadDialog : public std::enable_shared_from_this<UploadDialog> {
public:
    UploadDialog(AppState& app, std::string_view formName, UploadFolder folder)
        : m_app(app), m_name(formName), m_session(app.loop, folder) {}
    virtual ~UploadDialog() { stopAnimation(); }

protected:
    platform::Form* form() { return m_app.host.findForm(m_name); }
    const std::string& caption() const { return m_caption; }

    // Hooks the session to the status line and bar; OnEnd to `ended`.
    void hookSession() {
        m_session.OnStatus = [this](const std::string& text) {
            if (platform::Form* f = form())
                f->setText("lblFTPProgress", text);
        };
        m_session.OnProgress = [this](int percent) {
            if (platform::Form* f = form())
                f->setProgress("progFtp", percent);
        };
        m_session.OnEnd = [this](const UploadEnd& end) {
            auto self = shared_from_this(); // inserting reads the page, which pumps the loop
            stopAnimation();
            try {
                if (end.ok)
                    uploaded();
                else if (!end.message.empty())
                    m_app.host.msgBox(end.message, end.title);
            } catch (const std::exception& e) {
                // The file is on the server; the post could not take the tag or link.
                m_app.host.msgBox(e.what(), m_caption);
            }
        };
        m_session.OnUntrustedCertificate = [&app = m_app](SiteFtp& site, CFtpClient& client) {
            return askToTrustCertificate(app, site, client);
        };
    }

    // The file chosen with cmdBrowse: kept while the box shows its name.
    void picked(const std::string& refusal) {
        platform::Form* f = form();
        if (!f)
            return;
        if (!refusal.empty()) {
            m_app.host.msgBox(refusal, m_caption);
            return;
        }
        m_chosen = f->takePickedFile("cmdBrowse");
        if (m_chosen)
            chosen(*f, *m_chosen);
    }

    // The chosen file, when `boxText` still names it.
    platform::PickedFile* chosenFor(std::string_view boxText) {
        return m_chosen && boxText == m_chosen->name() ? m_chosen.get() : nullptr;
    }

    void startUpload(platform::PickedFile& file, const std::string& remoteName) {
        file.rename(remoteName);
        m_remote = remoteName;
        if (auto refused =
                m_session.start(m_app.db(), m_app.logId, m_app.appFolder, m_app.settings.isOnline(),
                                file.path().string(), remoteName)) {
            m_app.host.msgBox(refused->message, refused->title);
            return;
        }
        startAnimation();
    }

    // Cancel and the close button: a session under way is cancelled, the window goes.
    void cancel() {
        auto self = shared_from_this();
        m_session.cancel();
        stopAnimation();
        close();
    }

    void close() {
        m_chosen.reset(); // the private copy goes
        if (platform::Form* f = form())
            f->hide();
    }

    // After the upload succeeded and the post got its tag or link: the session ends politely.
    void finishSession() {
        m_chosen.reset();
        m_session.quit();
    }

    virtual void chosen(platform::Form& f, const platform::PickedFile& file) = 0;
    virtual void uploaded() = 0;
    // The upload's animation: frames 1 and 2 alternate while it runs, 0 when it stopped.
    virtual void animate(int /*frame*/) {}

    AppState& m_app;
    std::string m_name;
    std::string m_caption;
    UploadSession m_session;
    std::unique_ptr<platform::PickedFile> m_chosen;
    std::string m_remote;

private:
    void startAnimation() {
        stopAnimation();
        m_animation = m_app.loop.addPeriodicTimer(kAnimation, [this] {
            m_animationOn = !m_animationOn;
            animate(m_animationOn ? 1 : 2);
        });
    }
    void stopAnimation() {
        if (!m_animation)
            return;
        m_app.loop.cancelTimer(*m_animation);
        m_animation.reset();
        m_animationOn = false;
        animate(0);
    }

    std::optional<platform::EventLoop::Id> m_animation;
    bool m_animationOn = false;
};

// ---- frmImage --------------------------------------------------------------------------------

class ImageDialog : public UploadDialog {
public:
    explicit ImageDialog(AppState& app) : UploadDialog(app, kImageForm, UploadFolder::Images) {
        m_caption = "Insert image";
    }

    void build(platform::Form& f) {
        f.setCaption(m_caption);
        f.add("lblFileCaption", ControlKind::Label,
              {{"text", "A picture on your computer, a path on your site or a web address"}});
        f.add("txtFile", ControlKind::Text, {{"row", 1}, {"label", "Picture"}});
        f.add("cmdBrowse", ControlKind::File,
              {{"row", 1},
               {"text", "Browse..."},
               {"accept", ".gif,.jpg,.jpeg,.png,image/gif,image/jpeg,image/png"},
               {"maxBytes", platform::kMaxPickedFileBytes}});
        f.add("lblFileSize", ControlKind::Label, {{"text", kNoFileSelected}});
        f.add("lblImageWidth", ControlKind::Label, {{"row", 2}, {"text", "Width"}});
        f.add("txtImageWidth", ControlKind::Text, {{"row", 2}, {"width", 5}, {"label", "Width"}});
        f.add("lblImageHeight", ControlKind::Label, {{"row", 2}, {"text", "Height"}});
        f.add("txtImageHeight", ControlKind::Text, {{"row", 2}, {"width", 5}, {"label", "Height"}});
        f.add("lblAltText", ControlKind::Label, {{"row", 3}, {"text", "Alternative text"}});
        f.add("txtAlt", ControlKind::Text, {{"row", 3}, {"label", "Alternative text"}});
        f.add("chkPopup", ControlKind::CheckBox,
              {{"row", 4}, {"text", "Show a small picture that opens in a pop-up window"}});
        f.add("lblWindowWidth", ControlKind::Label,
              {{"row", 5}, {"text", "The window takes the width"}, {"enabled", false}});
        f.add("lblWindowHeight", ControlKind::Label,
              {{"row", 5}, {"text", "and the height above."}, {"enabled", false}});
        f.add("cboImageHistory", ControlKind::Combo,
              {{"listOnly", true},
               {"placeholder", "Pictures used before"},
               {"label", "Pictures used before"}});
        f.add("cmdMakeURLLink", ControlKind::Button,
              {{"row", 6}, {"text", "Insert image"}, {"primary", true}});
        f.add("Label1", ControlKind::Link, {{"row", 6}, {"text", "Cancel"}});
        f.add("lblUploadMessage", ControlKind::Label);
        f.add("lblFTPProgress", ControlKind::Label,
              {{"role", "status"}, {"text", "FTP Status : Not Connected."}});
        f.add("progFtp", ControlKind::Progress, {{"value", 0}});

        auto self = std::static_pointer_cast<ImageDialog>(shared_from_this());
        f.on("txtFile", "change", [self] { self->txtFile_Change(); });
        f.on("cmdBrowse", "pick", platform::Form::EventHandler([self](const std::string& why) {
                 self->picked(why);
                 return false;
             }));
        f.on("cboImageHistory", "click", [self] { self->cboImageHistory_Click(); });
        f.on("chkPopup", "click", [self] { self->chkPopup_Click(); });
        f.on("cmdMakeURLLink", "click", [self] { self->cmdMakeURLLink_Click(); });
        f.on("Label1", "click", [self] { self->cancel(); });
        f.on("", "close", [self] { self->cancel(); });
        f.on("", "open", platform::Form::EventHandler([self](const std::string& saved) {
                 self->open(static_cast<int>(std::strtol(saved.c_str(), nullptr, 10)));
                 return false;
             }));
        hookSession();
    }

    void open(int savedSelection) {
        m_saved = savedSelection;
        platform::Form* f = form();
        if (!f)
            return;
        f->setText("txtAlt", "");
        f->setItems("cboImageHistory", imageHistory(m_app.db(), m_app.logId));
        f->setText("cboImageHistory", "");
        if (!m_session.busy()) {
            f->setText("lblFTPProgress", "FTP Status : Not Connected.");
            f->setProgress("progFtp", 0);
        }
        f->show(true);
    }

private:
    void txtFile_Change() {
        platform::Form* f = form();
        if (!f)
            return;
        const std::string text = f->text("txtFile");
        if (!chosenFor(text))
            m_chosen.reset();
        f->setText("lblFileSize",
                   fileSizeText(text, m_chosen ? std::optional(m_chosen->size()) : std::nullopt));
    }

    void chosen(platform::Form& f, const platform::PickedFile& file) override {
        f.setText("txtFile", file.name());
        if (auto size = platform::imageSizeOfFile(file.path())) {
            f.setText("txtImageHeight", std::to_string(size->height));
            f.setText("txtImageWidth", std::to_string(size->width));
        }
        f.setText("lblFileSize", fileSizeText(file.name(), file.size()));
    }

    void cboImageHistory_Click() {
        platform::Form* f = form();
        if (!f || f->text("cboImageHistory").empty())
            return;
        const ImageHistoryChoice choice = imageHistoryChoice(f->text("cboImageHistory"));
        f->setText("txtFile", choice.file);
        f->setText("txtImageHeight", choice.height);
        f->setText("txtImageWidth", choice.width);
        f->setText("txtAlt", choice.alt);
        txtFile_Change();
    }

    void chkPopup_Click() {
        platform::Form* f = form();
        if (!f)
            return;
        const bool popup = f->checked("chkPopup");
        f->setEnabled("lblWindowWidth", popup);
        f->setEnabled("lblWindowHeight", popup);
        // The size is the picture's and the window's alike: it stays to be typed either way.
        f->setEnabled("txtImageWidth", true);
        f->setEnabled("txtImageHeight", true);
    }

    void cmdMakeURLLink_Click() {
        auto self = shared_from_this();
        platform::Form* f = form();
        if (!f || m_session.busy())
            return;
        const std::string text = f->text("txtFile");
        if (text.empty()) {
            m_app.host.msgBox("Type where the picture is, or choose it with Browse.", m_caption);
            return;
        }
        if (!isImageDimension(f->text("txtImageWidth")) ||
            !isImageDimension(f->text("txtImageHeight"))) {
            m_app.host.msgBox("The width and height are numbers of pixels.", m_caption);
            return;
        }
        if (platform::PickedFile* file = chosenFor(text)) {
            auto remote = remoteNameFor(file->name(), true);
            if (!remote) {
                m_app.host.msgBox(noFileToUpload(text, "picture"), m_caption);
                return;
            }
            startUpload(*file, *remote);
            return;
        }
        if (text.find('\\') != std::string::npos && !isWebAddress(text)) {
            m_app.host.msgBox(noFileToUpload(text, "picture"), m_caption);
            return;
        }
        insert(text); // a site path or a web address: no upload
    }

    void insert(const std::string& path) {
        platform::Form* f = form();
        if (!f)
            return;
        subInsertImage(m_app, m_saved, path, f->text("txtImageHeight"), f->text("txtImageWidth"),
                       f->checked("chkPopup"), f->text("txtAlt"));
    }

    void uploaded() override {
        platform::Form* f = form();
        if (!f)
            return;
        const std::string path = "images/" + m_remote;
        f->setText("txtFile", path);
        insert(path);
        f->setText("lblFileSize", kNoFileSelected);
        f->setText("lblFTPProgress", "FTP Status : Not Connected.");
        finishSession();
    }

    void animate(int frame) override {
        if (platform::Form* f = form())
            f->setText("lblUploadMessage", frame == 0   ? ""
                                           : frame == 1 ? "UPLOADING"
                                                        : "*********");
    }

    int m_saved = 0;
};

// ---- frmSelectURL ----------------------------------------------------------------------------

class LinkDialog : public UploadDialog {
public:
    explicit LinkDialog(AppState& app) : UploadDialog(app, kLinkForm, UploadFolder::Media) {
        m_caption = "Insert link";
    }

    void build(platform::Form& f) {
        f.setCaption(m_caption);
        f.add("lblAddress", ControlKind::Label, {{"row", 1}, {"text", "Address"}});
        f.add("cboURLListing", ControlKind::Combo,
              {{"row", 1}, {"text", "http://"}, {"items", json::array()}, {"label", "Address"}});
        f.add("chkNewWindow", ControlKind::CheckBox,
              {{"row", 2}, {"text", "Open in a new window"}});
        f.add("chkPopup", ControlKind::CheckBox,
              {{"row", 2}, {"text", "Pop-up window"}, {"enabled", false}});
        f.add("lblWindowWidth", ControlKind::Label,
              {{"row", 3}, {"text", "Width"}, {"enabled", false}});
        f.add("txtWindowWidth", ControlKind::Text,
              {{"row", 3}, {"width", 5}, {"label", "Window width"}, {"enabled", false}});
        f.add("lblWindowHeight", ControlKind::Label,
              {{"row", 3}, {"text", "Height"}, {"enabled", false}});
        f.add("txtWindowHeight", ControlKind::Text,
              {{"row", 3}, {"width", 5}, {"label", "Window height"}, {"enabled", false}});
        f.add("cmdMakeURLLink", ControlKind::Button,
              {{"row", 4}, {"text", "Insert link"}, {"primary", true}});
        f.add("lblUploadCaption", ControlKind::Label,
              {{"text", "Or upload a file from your computer and link to it"}});
        f.add("txtUploadObject", ControlKind::Text, {{"row", 5}, {"label", "File to upload"}});
        f.add("cmdBrowse", ControlKind::File,
              {{"row", 5}, {"text", "Browse..."}, {"maxBytes", platform::kMaxPickedFileBytes}});
        f.add("Command1", ControlKind::Button, {{"row", 5}, {"text", "Upload and link"}});
        f.add("lblFileSize", ControlKind::Label, {{"text", kNoFileSelected}});
        f.add("lblFTPProgress", ControlKind::Label,
              {{"role", "status"}, {"text", "FTP status: Not connected"}});
        f.add("progFtp", ControlKind::Progress, {{"value", 0}});
        f.add("Label1", ControlKind::Link, {{"text", "Cancel"}});

        auto self = std::static_pointer_cast<LinkDialog>(shared_from_this());
        f.on("chkNewWindow", "click", [self] { self->chkNewWindow_Click(); });
        f.on("cmdMakeURLLink", "click", [self] { self->cmdMakeURLLink_Click(); });
        f.on("cmdBrowse", "pick", platform::Form::EventHandler([self](const std::string& why) {
                 self->picked(why);
                 return false;
             }));
        f.on("Command1", "click", [self] { self->Command1_Click(); });
        f.on("Label1", "click", [self] { self->cancel(); });
        f.on("", "close", [self] { self->cancel(); });
        f.on("", "open", [self] { self->open(); });
        hookSession();
    }

    void open() {
        if (platform::Form* f = form())
            f->show(true);
    }

private:
    std::string attributes() {
        platform::Form* f = form();
        return f && f->checked("chkNewWindow") ? "target=Vellumite" : "";
    }

    void chkNewWindow_Click() {
        platform::Form* f = form();
        if (!f)
            return;
        const bool newWindow = f->checked("chkNewWindow");
        for (const char* control :
             {"chkPopup", "lblWindowWidth", "txtWindowWidth", "lblWindowHeight", "txtWindowHeight"})
            f->setEnabled(control, newWindow);
    }

    void cmdMakeURLLink_Click() {
        auto self = shared_from_this();
        platform::Form* f = form();
        if (!f)
            return;
        const std::string address = f->text("cboURLListing");
        if (!subInsertLink(m_app, address, attributes())) {
            m_app.host.msgBox(kNoTextSelected, "Vellumite");
            return;
        }
        if (!(f = form()))
            return;
        std::vector<std::string> items = f->items("cboURLListing");
        if (std::find(items.begin(), items.end(), address) == items.end()) {
            items.push_back(address);
            f->setItems("cboURLListing", items);
        }
        f->setText("cboURLListing", "http://");
    }

    void chosen(platform::Form& f, const platform::PickedFile& file) override {
        f.setText("txtUploadObject", file.name());
        f.setText("lblFileSize", fileSizeText(file.name(), file.size()));
    }

    void Command1_Click() {
        auto self = shared_from_this();
        platform::Form* f = form();
        if (!f || m_session.busy())
            return;
        const std::string text = f->text("txtUploadObject");
        if (text.empty())
            return;
        platform::PickedFile* file = chosenFor(text);
        auto remote = file ? remoteNameFor(file->name(), false) : std::nullopt;
        if (!remote) {
            m_app.host.msgBox(noFileToUpload(text, "file"), m_caption);
            return;
        }
        startUpload(*file, *remote);
    }

    void uploaded() override {
        platform::Form* f = form();
        if (!f)
            return;
        const std::string address = "media/" + m_remote;
        f->setText("lblFileSize", kNoFileSelected);
        f->setText("txtUploadObject", "");
        f->setText("lblFTPProgress", "FTP status: Not connected");
        finishSession();
        if (!subInsertLink(m_app, address, attributes())) {
            // The file is on the server: its address waits in the box for a selection.
            if ((f = form()))
                f->setText("cboURLListing", address);
            m_app.host.msgBox(kNoTextSelected, "Vellumite");
            return;
        }
        close();
    }
};

// The window of `name`, made with its dialog on first use. The window's handlers hold the
// dialog, so it lives as long as the window; its "open" event reaches it.
template <class Dialog>
platform::Form& dialogWindow(AppState& app, std::string_view name) {
    platform::Form& f = app.host.form(std::string(name));
    if (!f.has("cmdMakeURLLink")) {
        std::make_shared<Dialog>(app)->build(f);
        offerWaitingLinkAddresses(app);
    }
    return f;
}

} // namespace

ImageHistoryChoice imageHistoryChoice(std::string_view entry) {
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (std::size_t comma; (comma = entry.find(',', from)) != std::string_view::npos;
         from = comma + 1)
        pieces.emplace_back(entry.substr(from, comma - from));
    pieces.emplace_back(entry.substr(from));
    // The path ends where two numbers follow it.
    std::size_t end = 1;
    while (end + 1 < pieces.size() && !(allDigits(pieces[end]) && allDigits(pieces[end + 1])))
        ++end;
    auto join = [&](std::size_t first, std::size_t last) {
        std::string text;
        for (std::size_t i = first; i < last && i < pieces.size(); ++i)
            text += (i == first ? "" : ",") + pieces[i];
        return text;
    };
    ImageHistoryChoice choice;
    const std::string path = join(0, end);
    choice.file =
        path.starts_with('/') || platform::asciiLower(path).find("http://") != std::string::npos
            ? path
            : "/images/" + path;
    choice.height = end < pieces.size() ? pieces[end] : "";
    choice.width = end + 1 < pieces.size() ? pieces[end + 1] : "";
    choice.alt = join(end + 2, pieces.size());
    return choice;
}

std::string fileSizeText(std::string_view fileText, std::optional<std::uint64_t> chosenSize) {
    if (chosenSize)
        return "File is " + std::to_string(*chosenSize) + " bytes.";
    return isWebAddress(fileText) ? "Online Image" : "File not found";
}

std::optional<std::string> remoteNameFor(std::string_view chosenName, bool picture) {
    auto name = platform::pickedBaseName(chosenName);
    if (name && picture)
        return platform::asciiLower(*name);
    return name;
}

bool isImageDimension(std::string_view text) {
    return text.empty() || allDigits(text);
}

void showImageDialog(AppState& app, int savedSelection) {
    dialogWindow<ImageDialog>(app, kImageForm)
        .deliver("", "open", json::object(), std::to_string(savedSelection));
}

void showLinkDialog(AppState& app) {
    dialogWindow<LinkDialog>(app, kLinkForm).deliver("", "open", json::object(), "");
}

void clearImageFile(AppState& app) {
    platform::Form* f = app.host.findForm(std::string(kImageForm));
    if (f && f->has("txtFile"))
        f->setText("txtFile", "");
}

} // namespace vellumite
