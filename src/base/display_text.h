// Text from files (names, header strings) shown on the console or written to the log: control
// characters are written as escapes, so that no byte of a file can move the cursor, retitle a
// terminal or start a fake line.
#pragma once

#include <string>
#include <string_view>

namespace orvel {

// Whether a line feed in the text is the program's own line end or data to be escaped.
enum class LineFeeds { escaped, kept };

// The text with every control character written as \xNN (two lower-case hex digits): bytes
// below 0x20 (a line feed only when lineFeeds says so), DEL (0x7f) and the C1 controls, as
// single bytes 0x80..0x9f outside a well-formed UTF-8 character or as their UTF-8 form
// (C2 80..C2 9F, written as \xc2\xNN). Everything else, UTF-8 text and other bytes alike, stays
// as it is; text without a control character comes back unchanged.
std::string displaySafe(std::string_view text, LineFeeds lineFeeds = LineFeeds::escaped);

}  // namespace orvel
