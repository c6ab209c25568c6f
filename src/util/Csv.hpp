#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as RFC 4180 writes them: a field holding a comma, a quote, a carriage
// return or a line feed is quoted, quotes inside doubled. Bytes are never re-encoded, so a
// login that is not UTF-8 comes back from the file exactly as it went in.

void AppendCsvField(std::string& out, std::string_view field);
// The fields joined with "," and ended with CR LF.
void AppendCsvRow(std::string& out, std::initializer_list<std::string_view> fields);

// One record of a file: its fields, or why it could not be read.
struct CsvRecord {
    size_t line = 0;  // where the record starts, from 1
    std::vector<std::string> fields;
    std::string error;  // empty when the record was read whole
    // Where the quote that was never closed opened, from 1; 0 for any other record. Everything
    // after it went into that one field.
    size_t openQuoteLine = 0;
};

// Reads records one at a time from text held in memory. Records end with CR LF, LF or the end of
// the text; a quoted field may span lines. A malformed record (a stray quote, text after a
// closing quote, a quote left open) is returned with its error and the reader resumes at the
// next line, so one bad row never swallows or shifts the good ones after it, except for a quote
// left open, which by the format's own rules runs to the end of the text.
class CsvReader {
public:
    explicit CsvReader(std::string_view text) : text_(text) {}

    // False at the end of the text. Empty lines are skipped.
    bool Next(CsvRecord& record);

private:
    void SkipRestOfLine();
    bool AtLineEnd() const;
    void TakeLineEnd();

    std::string_view text_;
    size_t at_ = 0;
    size_t line_ = 1;
};
