// Deleting a site's rows.
#include "store/site_rows.h"

namespace vellumite {

void deleteSiteRows(platform::Database& db, std::int32_t logId) {
    db.execute("DELETE FROM VellumiteLinks WHERE LogID=?", {logId});
    db.execute("DELETE FROM VellumitePosts WHERE LogID=?", {logId});
    db.execute("DELETE FROM VellumiteLog WHERE LogID=?", {logId});
}

} // namespace vellumite
