#include "util/Csv.hpp"

namespace {

// One plain pass: find_first_of looks each byte up in the set with a call of its own, and this
// runs over every field of a million rows.
bool NeedsQuotes(std::string_view field) {
    for (const char c : field) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            return true;
        }
    }
    return false;
}

}  // namespace

void AppendCsvField(std::string& out, std::string_view field) {
    if (!NeedsQuotes(field)) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (const char c : field) {
        if (c == '"') {
            out.push_back('"');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

void AppendCsvRow(std::string& out, std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first) {
            out.push_back(',');
        }
        first = false;
        AppendCsvField(out, field);
    }
    out.append("\r\n");
}

bool CsvReader::AtLineEnd() const {
    return at_ >= text_.size() || text_[at_] == '\n' || text_[at_] == '\r';
}

void CsvReader::TakeLineEnd() {
    if (at_ < text_.size() && text_[at_] == '\r') {
        ++at_;
    }
    if (at_ < text_.size() && text_[at_] == '\n') {
        ++at_;
    }
    ++line_;
}

void CsvReader::SkipRestOfLine() {
    while (!AtLineEnd()) {
        ++at_;
    }
    if (at_ < text_.size()) {
        TakeLineEnd();
    }
}

bool CsvReader::Next(CsvRecord& record) {
    while (at_ < text_.size() && (text_[at_] == '\n' || text_[at_] == '\r')) {
        TakeLineEnd();
    }
    if (at_ >= text_.size()) {
        return false;
    }
    record.line = line_;
    record.fields.clear();
    record.error.clear();
    record.openQuoteLine = 0;
    for (;;) {
        std::string field;
        if (at_ < text_.size() && text_[at_] == '"') {
            const size_t quoteLine = line_;
            ++at_;
            for (;;) {
                if (at_ >= text_.size()) {
                    record.error = "a quoted field is not closed";
                    record.openQuoteLine = quoteLine;
                    return true;
                }
                const char c = text_[at_++];
                if (c == '"') {
                    if (at_ < text_.size() && text_[at_] == '"') {
                        field.push_back('"');
                        ++at_;
                        continue;
                    }
                    break;
                }
                if (c == '\n' || (c == '\r' && (at_ >= text_.size() || text_[at_] != '\n'))) {
                    ++line_;
                }
                field.push_back(c);
            }
            if (!AtLineEnd() && text_[at_] != ',') {
                record.error = "text after a closing quote";
                SkipRestOfLine();
                return true;
            }
        } else {
            while (!AtLineEnd() && text_[at_] != ',') {
                if (text_[at_] == '"') {
                    record.error = "a quote inside a field that does not start with one";
                    SkipRestOfLine();
                    return true;
                }
                field.push_back(text_[at_++]);
            }
        }
        record.fields.push_back(std::move(field));
        if (AtLineEnd()) {
            if (at_ < text_.size()) {
                TakeLineEnd();
            }
            return true;
        }
        ++at_;  // the comma
    }
}
