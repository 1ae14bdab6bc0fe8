// `vellumite publish`: a publish run without a browser, its progress on the terminal.
#pragma once

#include "publish/publish_run.h"

#include <iosfwd>

namespace vellumite {

struct PublishCommandOptions {
    PublishOptions run;
    bool verbose = false;      // print the FTP exchange (password masked) and each step
    bool progressLine = false; // one line rewritten in place (a terminal); else plain lines
    // How long the registration may still take once the files are up.
    std::chrono::milliseconds exchangeWait{15'000};
};

// Runs the publish of site `logId` on an event loop of its own and returns the exit status:
// 0 when every file was uploaded and the session closed cleanly (or, for a dry run, when the
// files were listed), else 1 after printing "vellumite: " and the run's message to `err`.
int runPublishCommand(platform::Database db, std::int32_t logId, SitePagesFactory pages,
                      const PublishCommandOptions& options, std::ostream& out, std::ostream& err);

} // namespace vellumite
