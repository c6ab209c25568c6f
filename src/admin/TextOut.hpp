#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// The fields, each written by appendField, between separators and followed by end.
void AppendDelimitedRow(std::string& out, std::initializer_list<std::string_view> fields, char separator,
                        std::string_view end, void (*appendField)(std::string&, std::string_view));

// A JSON string literal for bytes that may not be UTF-8. Valid UTF-8 passes through; each byte
// that is not part of a valid sequence becomes "\udcXX" (XX its value), the lone low surrogate
// by which such bytes are commonly carried, so that no two different byte strings give the same
// text and a reader can recover the bytes.
void AppendJsonString(std::string& out, std::string_view bytes);

// A field for tab-separated output: tab, line breaks and the backslash as "\t", "\n", "\r" and
// "\\", so that every record stays on one line with its fields in place.
void AppendTsvField(std::string& out, std::string_view field);

// Text for a terminal: control bytes (below 32, and 127) as "\xNN", so that nothing a server
// sends can move the cursor or recolour the screen; every other byte as it is.
std::string VisibleText(std::string_view text);
