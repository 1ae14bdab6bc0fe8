// The LIST parser: fixed columns for MS-DOS style lines, the month name as anchor for UNIX ones.
#include "net/ftp_listing.h"

#include "platform/error.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <ctime>

namespace vellumite {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                      "jul", "aug", "sep", "oct", "nov", "dec"};

[[noreturn]] void typeMismatch() {
    throw platform::NumberedError(13, "Type mismatch", "CFtpClient.ParseListing");
}

// Mid(text, start, length) with a 1-based start, as the column rules are written.
std::string_view mid(std::string_view text, std::size_t start,
                     std::size_t length = std::string_view::npos) {
    if (start < 1 || start > text.size())
        return {};
    return text.substr(start - 1, length);
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t at = 0;
    for (std::size_t hit; (hit = text.find(from, at)) != std::string::npos; at = hit + from.size())
        out.append(text, at, hit - at).append(to);
    out.append(text, at);
    return out;
}

std::string_view trimRight(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::string_view trim(std::string_view text) {
    text = trimRight(text);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text;
}

template <class T>
bool parseNumber(std::string_view text, T& out) {
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

int number(std::string_view text) {
    int value = 0;
    if (!parseNumber(trim(text), value))
        typeMismatch();
    return value;
}

FtpDateTime makeDate(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    year_month_day ymd{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                       std::chrono::day(static_cast<unsigned>(day))};
    if (month < 1 || day < 1 || !ymd.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        typeMismatch();
    return {year, month, day, hour, minute, second};
}

// "hh:mm" or "hh:mm:ss", optionally followed by AM or PM (with or without a space).
void parseTime(std::string_view text, int& hour, int& minute, int& second) {
    text = trim(text);
    std::string upper = platform::asciiLower(text);
    int adjust = -1; // -1: 24-hour clock; 0: AM; 12: PM
    if (upper.size() >= 2 && (upper.ends_with("am") || upper.ends_with("pm"))) {
        adjust = upper.ends_with("pm") ? 12 : 0;
        text = trimRight(text.substr(0, text.size() - 2));
    }
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        typeMismatch();
    hour = number(text.substr(0, colon));
    std::string_view rest = text.substr(colon + 1);
    std::size_t colon2 = rest.find(':');
    minute = number(rest.substr(0, colon2));
    second = colon2 == std::string_view::npos ? 0 : number(rest.substr(colon2 + 1));
    if (adjust >= 0) {
        if (hour < 1 || hour > 12)
            typeMismatch();
        hour = hour % 12 + adjust;
    }
}

std::chrono::sys_days toDays(const FtpDateTime& d) {
    using namespace std::chrono;
    return sys_days{year_month_day{std::chrono::year(d.year),
                                   std::chrono::month(static_cast<unsigned>(d.month)),
                                   std::chrono::day(static_cast<unsigned>(d.day))}};
}

std::shared_ptr<CFtpFile> parseDosLine(const std::string& line) {
    auto file = std::make_shared<CFtpFile>();
    file->FileName = std::string(mid(line, 40));
    const std::string head = line.substr(0, 38);
    std::string when = replaceAll(head.substr(0, 17), "  ", " ");
    file->LastWriteTime = ftp_listing::ParseDosDate(trimRight(when));
    if (head.find("<DIR>") != std::string::npos) {
        file->IsDirectory = true;
    } else if (!parseNumber(trim(mid(head, 18, 21)), file->FileSize)) {
        typeMismatch();
    }
    return file;
}

std::shared_ptr<CFtpFile> parseUnixLine(const std::string& line, std::size_t datePos,
                                        const FtpDateTime& today) {
    auto file = std::make_shared<CFtpFile>();
    file->IsDirectory = line[0] == 'd';
    // The date is the month, the day and the time or year, spaced as the server pleases
    // ("Mar 14 09:30", "Mar  4  2003", "Mar 14 2003"); one space then leads to the name.
    const std::size_t dateStart = datePos - 1; // 0-based from here on
    std::size_t dateEnd = dateStart + 3;
    for (int part = 0; part < 2; ++part) {
        dateEnd = std::min(line.find_first_not_of(' ', dateEnd), line.size());
        dateEnd = std::min(line.find(' ', dateEnd), line.size());
    }
    file->LastWriteTime = ftp_listing::ParseListingDate(
        std::string_view(line).substr(dateStart, dateEnd - dateStart), today);
    const std::size_t namePos = std::min(dateEnd + 1, line.size());
    const std::size_t arrow = line.find(" -> ", namePos);
    if (line[0] == 'l' && arrow != std::string::npos) {
        file->FileName = line.substr(namePos, arrow - namePos);
        file->FilePath = line.substr(arrow + 4);
    } else {
        file->FileName = line.substr(namePos);
    }
    // The size ends just before the space in front of the date.
    const std::size_t sizeEnd = datePos - 2; // 1-based, inclusive
    const std::size_t lastSpace = line.rfind(' ', sizeEnd - 1);
    const std::size_t sizeStart = lastSpace == std::string::npos ? 0 : lastSpace + 1; // 0-based
    if (!parseNumber(std::string_view(line).substr(sizeStart, sizeEnd - sizeStart), file->FileSize))
        typeMismatch();
    std::string before = line.substr(0, sizeStart);
    for (int run = 15; run >= 2; --run)
        before = replaceAll(before, std::string(static_cast<std::size_t>(run), ' '), " ");
    std::vector<std::string> words;
    std::size_t at = 0;
    for (std::size_t space; (space = before.find(' ', at)) != std::string::npos; at = space + 1)
        words.push_back(before.substr(at, space - at));
    words.push_back(before.substr(at));
    if (words.size() < 3)
        typeMismatch();
    file->Permissions = words[0];
    file->Owner = words[2];
    if (words.size() == 5)
        file->Group = words[3];
    return file;
}

} // namespace

std::string to_string(const FtpDateTime& when) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", when.year, when.month,
                  when.day, when.hour, when.minute, when.second);
    return text;
}

// ---- CFtpFiles -------------------------------------------------------------------------------

std::shared_ptr<CFtpFile> CFtpFiles::Add(std::shared_ptr<CFtpFile> item, const std::string& key) {
    if (!key.empty() && !m_keys.insert(key).second)
        throw platform::NumberedError(
            457, "This key is already associated with an element of this collection",
            "CFtpFiles.Add");
    m_items.push_back({key, item});
    return item;
}

std::size_t CFtpFiles::find(const Index& index) const {
    if (const auto* position = std::get_if<std::int32_t>(&index)) {
        if (*position < 1 || *position > Count())
            throw platform::NumberedError(9, "Subscript out of range", "CFtpFiles.Item");
        return static_cast<std::size_t>(*position - 1);
    }
    const auto& key = std::get<std::string>(index);
    if (m_keys.contains(key))
        for (std::size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i].key == key)
                return i;
    throw platform::NumberedError(5, "Invalid procedure call or argument", "CFtpFiles.Item");
}

std::shared_ptr<CFtpFile> CFtpFiles::Item(const Index& index) const {
    return m_items[find(index)].item;
}

void CFtpFiles::Remove(const Index& index) {
    std::size_t at = find(index);
    m_keys.erase(m_items[at].key);
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(at));
}

// ---- the parser ------------------------------------------------------------------------------

namespace ftp_listing {

FtpDateTime localNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::size_t GetDateStartPosition(std::string_view line) {
    const std::string lowered = platform::asciiLower(line);
    for (std::string_view month : kMonths) {
        std::string needle = " " + std::string(month) + " ";
        std::size_t space = lowered.find(needle);
        if (space == std::string::npos)
            continue;
        // The end of the size before, the time or year after.
        if (space >= 1 && space + 9 < lowered.size() &&
            std::isdigit(static_cast<unsigned char>(lowered[space - 1])) &&
            std::isdigit(static_cast<unsigned char>(lowered[space + 9])))
            return space + 2;
    }
    return 0;
}

FtpDateTime ParseListingDate(std::string_view text, const FtpDateTime& today) {
    std::string t = replaceAll(std::string(text), "  ", " ");
    auto month = std::find(kMonths.begin(), kMonths.end(), platform::asciiLower(t.substr(0, 3)));
    if (month == kMonths.end())
        typeMismatch();
    int day = number(trimRight(mid(t, 5, 2)));
    std::string_view last = std::string_view(t).substr(t.size() >= 5 ? t.size() - 5 : 0);
    while (!last.empty() && last.front() == ' ')
        last.remove_prefix(1);
    int year = today.year, hour = 0, minute = 0, second = 0;
    const bool withTime = last.find(':') != std::string_view::npos;
    if (withTime)
        parseTime(last, hour, minute, second);
    else
        year = number(last);
    const int monthNumber = static_cast<int>(month - kMonths.begin()) + 1;
    FtpDateTime when = makeDate(year, monthNumber, day, hour, minute, second);
    // A listing shows the time instead of the year for recent files only, so a date that
    // would lie ahead of today belongs to last year (December's files, listed in January).
    if (withTime && toDays(when) > toDays(today) + std::chrono::days(1))
        when = makeDate(year - 1, monthNumber, day, hour, minute, second);
    return when;
}

FtpDateTime ParseDosDate(std::string_view text) {
    text = trim(text);
    std::size_t space = text.find(' ');
    std::string_view date = text.substr(0, space);
    std::string_view time =
        space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    const char separator = date.find('/') != std::string_view::npos ? '/' : '-';
    std::size_t first = date.find(separator);
    std::size_t second = first == std::string_view::npos ? first : date.find(separator, first + 1);
    if (second == std::string_view::npos)
        typeMismatch();
    int month = number(date.substr(0, first));
    int day = number(date.substr(first + 1, second - first - 1));
    std::string_view yearText = date.substr(second + 1);
    int year = number(yearText);
    if (yearText.size() <= 2)
        year += year < 30 ? 2000 : 1900; // the usual window for two-digit years
    int hour = 0, minute = 0, sec = 0;
    if (!trim(time).empty())
        parseTime(time, hour, minute, sec);
    return makeDate(year, month, day, hour, minute, sec);
}

std::shared_ptr<CFtpFiles> ParseListing(std::string_view text, const FtpDateTime& today) {
    if (platform::asciiLower(text.substr(0, 5)) == "total") {
        std::size_t lf = text.find('\n');
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    }
    auto result = std::make_shared<CFtpFiles>();
    try {
        std::size_t at = 0;
        for (;;) {
            std::size_t lf = text.find('\n', at);
            std::string line(text.substr(at, lf == std::string_view::npos ? lf : lf - at));
            if (line.empty())
                break; // the first empty line, or the piece after the last line feed
            const std::size_t datePos = GetDateStartPosition(line);
            std::erase(line, '\r');
            auto file = datePos < 11 ? parseDosLine(line) : parseUnixLine(line, datePos, today);
            if (file->FileName.empty())
                typeMismatch();
            result->Add(file, file->FileName);
            if (lf == std::string_view::npos)
                break;
            at = lf + 1;
        }
    } catch (const platform::NumberedError&) {
        return nullptr;
    }
    return result;
}

std::shared_ptr<CFtpFiles> ParseListing(std::string_view text) {
    return ParseListing(text, localNow());
}

} // namespace ftp_listing

} // namespace vellumite
