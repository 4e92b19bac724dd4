// Names as the log shows them. A worm may give a folder a name whose every
// character shows nothing (a no-break space, a zero-width mark): the log
// writes such a character as its code in brackets, "E:\[U+00A0]", so the
// user can read and find what it names.
#pragma once

#include <string>

namespace vx::scan {

// `text` with every character that shows nothing, other than the plain
// blank, written as "[U+XXXX]": control characters (tab, CR and LF kept),
// no-break and typographic spaces, zero-width and direction marks, the
// filler letters of Hangul and the byte order mark. Bytes that are not
// UTF-8 are kept as they are. Applied to every log line.
std::string markInvisible(std::string text);

// A name for the log: as markInvisible, and when nothing of the name shows,
// its plain blanks too ("  " gives "[U+0020][U+0020]").
std::string shownName(const std::string& name);

// True when `name` holds a letter or a digit of any script: the characters
// that show nothing, blanks, ASCII punctuation and symbols, and the common
// punctuation and symbol blocks are neither.
bool hasLetterOrDigit(const std::string& name);

}  // namespace vx::scan
