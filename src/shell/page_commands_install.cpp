// The one place where each finished operation is plugged into the command tables.
#include "shell/page_commands.h"

namespace vellumite {

CommandHandlers installCommandHandlers() {
    CommandHandlers h = notAvailableHandlers();
    // Each subsystem assigns its operations here as it is built, e.g.:
    //   h.postNew = subPostNew;
    return h;
}

} // namespace vellumite
