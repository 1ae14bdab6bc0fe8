// The reply reader of the control connection and the parsers of replies that carry a value.
#include "net/ftp_reply.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace vellumite {

namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

void appendBounded(std::string& to, std::string_view text, std::size_t limit) {
    if (to.size() < limit)
        to.append(text.substr(0, limit - to.size()));
}

} // namespace

FtpReplyLine ReadReplyLine(std::string_view line) {
    if (line.size() < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2]))
        return {};
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-')
        return {};
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return {code, line.size() > 3 && line[3] == '-'};
}

// ---- FtpReplyReader --------------------------------------------------------------------------

void FtpReplyReader::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, lf == std::string_view::npos ? lf : lf + 1);
        // A line too long to be a reply keeps its start, which is all that tells what it is.
        if (m_line.size() < kMaxLine)
            m_line.append(piece.substr(0, kMaxLine - m_line.size()));
        if (lf == std::string_view::npos)
            return;
        if (m_line.back() != '\n') { // cut short: the line end takes the last place
            if (m_line.size() < kMaxLine)
                m_line += '\n';
            else
                m_line.back() = '\n';
        }
        takeLine();
        m_line.clear();
        bytes.remove_prefix(lf + 1);
    }
}

void FtpReplyReader::takeLine() {
    std::string_view line = m_line;
    line.remove_suffix(1);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    const FtpReplyLine read = ReadReplyLine(line);
    if (m_openCode == 0) {
        if (read.code == 0)
            return; // not a reply: nothing the session can act on
        m_current = FtpReply{read.code, {}, {}};
    }
    appendBounded(m_current.text, m_line, kMaxText);
    if (read.code == (m_openCode == 0 ? read.code : m_openCode) && !read.more) {
        m_ready.push_back(std::move(m_current));
        m_current = FtpReply{};
        m_openCode = 0;
        return;
    }
    m_openCode = m_current.code;
    appendBounded(m_current.message, read.more ? line.substr(4) : line, kMaxText);
    appendBounded(m_current.message, "\r\n", kMaxText);
}

std::optional<FtpReply> FtpReplyReader::next() {
    if (m_ready.empty())
        return std::nullopt;
    FtpReply reply = std::move(m_ready.front());
    m_ready.pop_front();
    return reply;
}

void FtpReplyReader::clear() {
    m_line.clear();
    m_openCode = 0;
    m_current = FtpReply{};
    m_ready.clear();
}

// ---- replies with a value --------------------------------------------------------------------

std::optional<std::string> ParsePwdReply(std::string_view reply) {
    const std::size_t open = reply.find('"');
    if (open == std::string_view::npos || open == 0)
        return std::nullopt;
    std::string path;
    for (std::size_t at = open + 1; at < reply.size(); ++at) {
        if (reply[at] != '"') {
            path += reply[at] == '\\' ? '/' : reply[at];
        } else if (at + 1 < reply.size() && reply[at + 1] == '"') {
            path += '"';
            ++at;
        } else {
            return path;
        }
    }
    return std::nullopt; // no closing quote
}

std::optional<PasvAddress> ParsePasvReply(std::string_view reply) {
    const std::size_t open = reply.find('(');
    const std::size_t close = open == std::string_view::npos ? open : reply.find(')', open);
    if (close == std::string_view::npos)
        return std::nullopt;
    std::string_view inside = reply.substr(open + 1, close - open - 1);
    std::vector<int> fields;
    for (;;) {
        const std::size_t comma = inside.find(',');
        const std::string_view field = inside.substr(0, comma);
        int value = -1;
        auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (ec != std::errc() || end != field.data() + field.size() || value < 0 || value > 255)
            return std::nullopt;
        fields.push_back(value);
        if (comma == std::string_view::npos)
            break;
        inside.remove_prefix(comma + 1);
    }
    if (fields.size() != 6)
        return std::nullopt;
    PasvAddress address;
    address.host = std::to_string(fields[0]) + "." + std::to_string(fields[1]) + "." +
                   std::to_string(fields[2]) + "." + std::to_string(fields[3]);
    address.port = fields[4] * 256 + fields[5];
    if (address.port == 0)
        return std::nullopt;
    return address;
}

} // namespace vellumite
