// Deleting a site's rows.
#include "store/site_rows.h"

namespace vellumite {

void deleteSiteRows(platform::Database& db, std::int32_t logId) {
    db.execute("DELETE FROM VellumiteLinks WHERE LogID=?", {logId});
    db.execute("DELETE FROM VellumitePosts WHERE LogID=?", {logId});
    db.execute("DELETE FROM VellumiteLog WHERE LogID=?", {logId});
}

platform::Recordset openSiteRow(platform::Database& db, std::int32_t logId,
                                std::string_view columns) {
    auto rs = db.openRecordset(
        "SELECT " + std::string(columns) + " FROM VellumiteLog WHERE LogID=?", {logId});
    if (rs.eof())
        throw platform::DbError(platform::dberr::NoCurrentRecord, "No current record.");
    return rs;
}

} // namespace vellumite
