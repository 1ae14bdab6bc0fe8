// Turns the text of the control connection into whole FTP replies, and reads the replies whose
// text carries a value (the PWD path, the PASV address).
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace vellumite {

struct FtpReply {
    int code = 0;
    std::string text;    // every line as received, each with its line end
    std::string message; // the lines before the last, each without its "nnn-" and ending CR LF
};

// One line of a reply, without its line end: three digits and "-" open (or continue) a
// multi-line reply, three digits and a space or nothing more make a last line. `code` is 0
// for a line that is neither.
struct FtpReplyLine {
    int code = 0;
    bool more = false; // "nnn-": more lines follow
};
FtpReplyLine ReadReplyLine(std::string_view line);

// Bytes in, whole replies out, in the order they arrived. A multi-line reply ends only at a
// line of its own code followed by a space, whatever the lines between hold. Lines outside a
// reply that do not read as one are dropped. Memory stays bounded whatever the server sends:
// past kMaxLine bytes the rest of a line is dropped, past kMaxText the rest of a reply's text.
class FtpReplyReader {
public:
    static constexpr std::size_t kMaxLine = 8 * 1024;
    static constexpr std::size_t kMaxText = 64 * 1024;

    void feed(std::string_view bytes);
    // The oldest whole reply not yet taken.
    std::optional<FtpReply> next();
    void clear();

private:
    void takeLine(); // m_line holds one whole line, its line end included

    std::string m_line; // the line being received
    int m_openCode = 0; // the code of the multi-line reply under way, 0 for none
    FtpReply m_current; // that reply so far
    std::deque<FtpReply> m_ready;
};

// The path of a 257 reply: the text between the first double quote (which must not be the
// reply's first character) and the closing one, a doubled quote standing for one quote, and
// every backslash made a slash. Nothing when the reply holds no quoted path.
std::optional<std::string> ParsePwdReply(std::string_view reply);

// The data address of a 227 reply: six numbers from 0 to 255 between the first "(" and the
// following ")". Nothing when they are not there.
struct PasvAddress {
    std::string host; // dotted
    int port = 0;
};
std::optional<PasvAddress> ParsePasvReply(std::string_view reply);

} // namespace vellumite
