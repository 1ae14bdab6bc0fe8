#include "platform/database.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using platform::Database;
using platform::DbError;
using platform::Recordset;
using platform::Value;
using testing_support::TempDir;

namespace {

// A database with five links of site 1, keyed 1..5, and one of site 2.
struct FiveLinks : ::testing::Test {
    TempDir dir;
    Database db = testing_support::makeSiteDatabase(dir / "v.db");
    FiveLinks() {
        for (int i = 1; i <= 5; ++i)
            db.execute("INSERT INTO VellumiteLinks (LogID, linktext) VALUES (1, ?)",
                       {"link " + std::to_string(i)});
        db.execute("INSERT INTO VellumiteLinks (LogID, linktext) VALUES (2, 'other')");
    }
    Recordset links() {
        return db.openRecordset("SELECT * FROM VellumiteLinks WHERE LogID=? ORDER BY linkID", {1});
    }
    long rowCount() {
        return static_cast<long>(*db.scalar("SELECT count(*) FROM VellumiteLinks").integer());
    }
};

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST_F(FiveLinks, MovesAndEndTests) {
    auto rs = links();
    EXPECT_FALSE(rs.bof());
    EXPECT_EQ(rs["linktext"].toText(), "link 1");
    rs.moveNext();
    rs.moveNext();
    EXPECT_EQ(rs["linkID"].toText(), "3");
    rs.movePrevious();
    EXPECT_EQ(rs["linkID"].toText(), "2");
    rs.move(3);
    EXPECT_EQ(rs["linkID"].toText(), "5");
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(errorOf([&] { rs.moveNext(); }), platform::dberr::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs.field("linktext"); }), platform::dberr::NoCurrentRecord);
    rs.moveFirst();
    rs.move(-1);
    EXPECT_TRUE(rs.bof());
    rs.moveLast();
    EXPECT_EQ(rs["linkID"].toText(), "5");
    rs.move(-10); // beyond the start: BOF, not an error
    EXPECT_TRUE(rs.bof());
    rs.moveFirst();
    rs.move(10);
    EXPECT_TRUE(rs.eof());
}

TEST_F(FiveLinks, RecordCountCountsRowsReachedUntilMoveLast) {
    auto rs = links();
    EXPECT_EQ(rs.recordCount(), 1); // not empty, but not yet the number of rows
    rs.moveNext();
    EXPECT_EQ(rs.recordCount(), 2);
    rs.moveFirst();
    EXPECT_EQ(rs.recordCount(), 2);
    rs.moveLast();
    EXPECT_EQ(rs.recordCount(), 5);

    auto none = db.openRecordset("SELECT * FROM VellumiteLinks WHERE LogID=?", {99});
    EXPECT_TRUE(none.eof());
    EXPECT_TRUE(none.bof());
    EXPECT_EQ(none.recordCount(), 0);
    none.moveLast();
    EXPECT_EQ(none.recordCount(), 0);
}

TEST_F(FiveLinks, ClonesBrowseIndependentlyAndSeeStoredEdits) {
    auto rs = links();
    rs.moveLast();
    auto copy = rs.clone();
    EXPECT_EQ(copy["linkID"].toText(), "1");
    copy.moveNext();
    EXPECT_EQ(rs["linkID"].toText(), "5");
    EXPECT_EQ(copy["linkID"].toText(), "2");
    rs.move(-2);
    rs.edit();
    rs.setField("linkurl", "http://example.org/");
    rs.setField("newwindow", true);
    EXPECT_EQ(rs["linkurl"].toText(), "http://example.org/"); // reads the edit buffer
    rs.update();
    EXPECT_EQ(*db.scalar("SELECT newwindow FROM VellumiteLinks WHERE linkID=3").integer(), -1);
    rs.close();
    copy.moveNext(); // closing one leaves the other
    EXPECT_EQ(copy["linkurl"].toText(), "http://example.org/");
    EXPECT_TRUE(copy["newwindow"].toBool());
}

TEST_F(FiveLinks, FieldsByNameInAnyCaseWithNull) {
    auto rs = links();
    EXPECT_EQ(rs["LINKTEXT"].toText(), "link 1");
    EXPECT_EQ(rs["LinkText"], rs["linktext"]);
    EXPECT_TRUE(rs["linkurl"].isNull());
    EXPECT_EQ(rs["linkurl"].toText(), "");
    EXPECT_EQ(errorOf([&] { rs.field("nosuchfield"); }), platform::dberr::ItemNotFound);
    // Table names are matched without regard to case too.
    auto upper = db.openRecordset("select * from VELLUMITELINKS where logid=?", {2});
    EXPECT_EQ(upper["LinkText"].toText(), "other");
}

TEST_F(FiveLinks, AddNewKeyIsReadableBeforeUpdateAndJoinsTheSet) {
    auto rs = links();
    rs.moveNext(); // on link 2
    rs.addNew();
    Value key = rs["linkID"];
    ASSERT_TRUE(key.integer());
    EXPECT_EQ(*key.integer(), 7);
    rs.setField("LogID", 1);
    rs.setField("linktext", "new one");
    rs.update();
    EXPECT_EQ(rs["linkID"].toText(), "2"); // the current row stays where it was
    rs.moveLast();
    EXPECT_EQ(rs["linktext"].toText(), "new one");
    EXPECT_EQ(rs.recordCount(), 6);
    EXPECT_EQ(db.scalar("SELECT linktext FROM VellumiteLinks WHERE linkID=7").toText(), "new one");
    // Unassigned booleans get their default, as a new yes/no field always had.
    EXPECT_EQ(*rs["newwindow"].integer(), 0);
}

TEST_F(FiveLinks, AbandonedAddNewLeavesNoRow) {
    long before = rowCount();
    // Cancelled, or moved away from: the pending row is gone at once.
    const std::function<void(Recordset&)> abandon[] = {[](Recordset& rs) { rs.cancelUpdate(); },
                                                       [](Recordset& rs) { rs.moveFirst(); }};
    for (const auto& leave : abandon) {
        auto rs = links();
        rs.addNew();
        rs.setField("linktext", "abandoned");
        leave(rs);
        EXPECT_EQ(rowCount(), before);
    }
    links().addNew(); // destroyed without update
    EXPECT_EQ(rowCount(), before);
    // The connection is usable afterwards: no transaction was left open.
    db.execute("INSERT INTO VellumiteLinks (LogID) VALUES (3)");
    EXPECT_EQ(rowCount(), before + 1);
}

TEST_F(FiveLinks, UpdateWithoutEditReadOnlySetsAndClosedObjectsAreErrors) {
    auto rs = links();
    EXPECT_EQ(errorOf([&] { rs.update(); }), platform::dberr::UpdateWithoutEdit);
    EXPECT_EQ(errorOf([&] { rs.setField("linktext", "x"); }), platform::dberr::UpdateWithoutEdit);
    auto counted =
        db.openRecordset("SELECT LogID, count(*) AS n FROM VellumiteLinks GROUP BY LogID");
    EXPECT_EQ(counted["n"].toText(), "5");
    EXPECT_EQ(errorOf([&] { counted.addNew(); }), platform::dberr::ReadOnly);
    rs.close();
    EXPECT_EQ(errorOf([&] { rs.moveNext(); }), platform::dberr::ObjectClosed);
    auto copy = db; // closing the database closes it for every holder
    db.close();
    EXPECT_FALSE(copy.isOpen());
    EXPECT_EQ(errorOf([&] { copy.execute("DELETE FROM VellumiteLinks"); }),
              platform::dberr::ObjectClosed);
}

TEST_F(FiveLinks, ValuesAreBoundNeverPasted) {
    std::string hostile = "x'); DELETE FROM VellumiteLinks; --";
    db.execute("INSERT INTO VellumiteLinks (LogID, linktext) VALUES (?, ?)", {1, hostile});
    auto rs = db.openRecordset("SELECT * FROM VellumiteLinks WHERE linktext=?", {hostile});
    EXPECT_EQ(rs["linktext"].toText(), hostile);
    EXPECT_EQ(rowCount(), 7);
    EXPECT_THROW(db.execute("SELECT * FROM VellumiteLinks WHERE LogID=?", {}), DbError);
}

TEST(DatabaseOpen, FailuresCarryTheirNumbers) {
    TempDir dir;
    EXPECT_EQ(errorOf([&] { Database::open((dir / "missing.db").string()); }),
              platform::dberr::FileNotFound);

    std::ofstream(dir / "text.db") << "This is a text file, not a database, and long enough to "
                                      "fill a header of one hundred bytes or so...............";
    EXPECT_EQ(errorOf([&] { Database::open((dir / "text.db").string()); }),
              platform::dberr::NotADatabase);

    testing_support::makeSiteDatabase(dir / "locked.db").close();
    Database holder = Database::open((dir / "locked.db").string());
    holder.executeScript("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;");
    EXPECT_EQ(errorOf([&] { Database::open((dir / "locked.db").string(), {.busyTimeoutMs = 50}); }),
              platform::dberr::FileInUse);
    holder.close();

    if (::geteuid() != 0) { // root reads everything
        testing_support::makeSiteDatabase(dir / "private.db").close();
        ::chmod((dir / "private.db").c_str(), 0);
        EXPECT_EQ(errorOf([&] { Database::open((dir / "private.db").string()); }),
                  platform::dberr::CannotOpen);
    }
}

TEST(Value, TextAndNumbers) {
    EXPECT_EQ(Value().toText(), "");
    EXPECT_EQ(Value(12).toText(), "12");
    EXPECT_EQ(Value(2.5).toText(), "2.5");
    EXPECT_EQ(Value(3.0).toText(), "3");
    EXPECT_EQ(Value(true).toText(), "-1");
    EXPECT_EQ(Value(" 42 ").toNumber(), 42.0);
    EXPECT_FALSE(Value("4x").toNumber());
    EXPECT_TRUE(Value("True").toBool());
    EXPECT_FALSE(Value("0").toBool());
    EXPECT_FALSE(Value().toBool());
}
