// The two text readers of the command language: lines of params and script
// files, and comma-separated items of word lists, script headers and rows.
#pragma once

#include <cstddef>
#include <string>

// Reads the next line of [pos, end): white space before it (and so blank
// lines) is skipped, the line runs to its line feed, at most maxChars
// characters (0 = no limit; the rest of a longer line is the next line). A
// carriage return before the line feed is dropped so files written with CRLF
// read alike; text after a zero byte is dropped. False at the end of the text.
bool NextLine(const char*& pos, const char* end, std::string& line, size_t maxChars);

// Reads the next item of a comma-separated text at pos: white space before it
// is skipped and the item runs up to the next comma or the end (inner and
// trailing blanks kept); one comma after it is skipped. False when there is
// no item (end of text, or an empty item), which ends every comma list.
bool NextItem(const char*& pos, std::string& item);
