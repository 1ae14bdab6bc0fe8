// Directory listings: CFtpFile, the CFtpFiles collection, and the parser for UNIX and MS-DOS
// style LIST replies.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>
#include <vector>

namespace vellumite {

// A date and time as a listing gives it (no time zone).
struct FtpDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const FtpDateTime&) const = default;
    auto operator<=>(const FtpDateTime&) const = default;
};
// "YYYY-MM-DD HH:MM:SS"
std::string to_string(const FtpDateTime& when);

class CFtpFile {
public:
    bool IsDirectory = false;
    std::int64_t FileSize = 0; // 64-bit: a file over 2 GB must not spoil the whole listing
    FtpDateTime LastWriteTime;
    std::string FileName;
    std::string FilePath; // the target of a symbolic link, else empty
    std::string Permissions;
    std::string Owner;
    std::string Group;
};

// A keyed collection in insertion order; positions count from 1. Keys match exactly: two
// names that differ only in case are two files on most servers.
class CFtpFiles {
public:
    using Index = std::variant<std::int32_t, std::string>; // position or key

    // Raises 457 "This key is already associated with an element of this collection" for a
    // key already present.
    std::shared_ptr<CFtpFile> Add(std::shared_ptr<CFtpFile> item, const std::string& key = {});
    // Raises 5 "Invalid procedure call or argument" for a position or key that is not there.
    std::shared_ptr<CFtpFile> Item(const Index& index) const;
    std::int32_t Count() const { return static_cast<std::int32_t>(m_items.size()); }
    void Remove(const Index& index);

    // NewEnum: iteration in insertion order.
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    struct Entry {
        std::string key;
        std::shared_ptr<CFtpFile> item;
    };
    std::size_t find(const Index& index) const; // raises when missing
    std::vector<Entry> m_items;
    std::unordered_set<std::string> m_keys;

public:
    // Entries are pairs of key and item.
    using const_iterator = std::vector<Entry>::const_iterator;
};

namespace ftp_listing {

// The parsed listing, or nothing when any line is not understood. `today` gives the year of
// dates listed with a time instead of a year.
std::shared_ptr<CFtpFiles> ParseListing(std::string_view text, const FtpDateTime& today);
std::shared_ptr<CFtpFiles> ParseListing(std::string_view text);

// 1-based position of the month name that starts the date of a UNIX listing line; 0 for none.
std::size_t GetDateStartPosition(std::string_view line);

// Reads a UNIX listing date such as "Mar 14 09:30", "Mar 14  2003" or "Mar 4 2003" (the parts
// spaced by one or more spaces). Throws platform::NumberedError 13
// "Type mismatch" for text that is not a date.
FtpDateTime ParseListingDate(std::string_view text, const FtpDateTime& today);

// Reads an MS-DOS listing date such as "01-16-02 10:35AM". Throws platform::NumberedError 13.
FtpDateTime ParseDosDate(std::string_view text);

FtpDateTime localNow();

} // namespace ftp_listing

} // namespace vellumite
