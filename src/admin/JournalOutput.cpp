#include "admin/JournalOutput.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "admin/ExitStatus.hpp"
#include "admin/TextOut.hpp"
#include "journal/JournalLocation.hpp"
#include "journal/JournalReader.hpp"
#include "journal/JournalRecordText.hpp"

namespace {

// A page of a million-entry journal read at a time, so that memory stays small while it prints.
constexpr size_t kPageRows = 5000;

std::string Table(const std::vector<RequestRecord>& records) {
    const std::vector<std::string>& names = RequestColumnNames();
    std::vector<std::vector<std::string>> rows;
    rows.reserve(records.size());
    std::vector<size_t> widths;
    for (const std::string& name : names) {
        widths.push_back(name.size());
    }
    for (const RequestRecord& record : records) {
        std::vector<std::string> row = RequestColumns(record);
        for (std::string& field : row) {
            field = VisibleText(field);
        }
        for (size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
        rows.push_back(std::move(row));
    }
    std::string out;
    const auto line = [&](const std::vector<std::string>& fields) {
        std::string text;
        for (size_t i = 0; i < fields.size(); ++i) {
            text += fields[i];
            if (i + 1 < fields.size()) {
                text += std::string(widths[i] - fields[i].size() + 2, ' ');
            }
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        out += text + "\n";
    };
    line(names);
    for (const auto& row : rows) {
        line(row);
    }
    return out;
}

std::string Json(const std::vector<RequestRecord>& records) {
    const std::vector<std::string>& names = RequestColumnNames();
    std::string out = "[";
    bool first = true;
    for (const RequestRecord& record : records) {
        out += first ? "\n  {" : ",\n  {";
        first = false;
        const std::vector<std::string> row = RequestColumns(record);
        for (size_t i = 0; i < row.size(); ++i) {
            out += i == 0 ? "" : ", ";
            AppendJsonString(out, names[i]);
            out += ": ";
            AppendJsonString(out, row[i]);
        }
        out += ", \"password_changed\": ";
        const bool secret = std::any_of(record.entry.fields.begin(), record.entry.fields.end(),
                                        [](const ChangedField& field) { return IsSecretField(field.name); });
        out += record.entry.passwordChanged || secret ? "true" : "false";
        out += "}";
    }
    out += first ? "]\n" : "\n]\n";
    return out;
}

}  // namespace

std::string FormatJournal(const std::vector<RequestRecord>& records, JournalFormat format) {
    switch (format) {
        case JournalFormat::Table:
            return Table(records);
        case JournalFormat::Csv: {
            std::string out = CsvRow(RequestColumnNames());
            for (const RequestRecord& record : records) {
                out += CsvRow(RequestColumns(record));
            }
            return out;
        }
        case JournalFormat::Json:
            return Json(records);
    }
    return {};
}

bool JournalFilterOf(const CommandOptions& options, JournalTime now, RequestFilter& filter,
                     std::string& error) {
    const auto time = [&](const std::optional<std::string>& text, const char* option,
                          std::optional<JournalTime>& into) {
        if (!text) {
            return true;
        }
        into = ParseJournalTime(*text, now);
        if (!into) {
            error = std::string(option) + " wants YYYY-MM-DD[ HH:MM[:SS]] or an age such as 12h: " + *text;
            return false;
        }
        return true;
    };
    if (!time(options.since, "--since", filter.from) || !time(options.until, "--until", filter.to)) {
        return false;
    }
    filter.server = options.server.value_or(std::string());
    filter.memberContains = options.member.value_or(std::string());
    return true;
}

int RunJournalCommand(const CommandOptions& options, const std::string& path) {
    RequestFilter filter;
    std::string error;
    if (!JournalFilterOf(options, JournalNow(), filter, error)) {
        std::fprintf(stderr, "krvadmin: %s\n", error.c_str());
        return ExitStatus::Usage;
    }
    const std::string file = path.empty() ? DefaultJournalPath() : path;
    std::vector<RequestRecord> records;
    if (std::filesystem::exists(file)) {
        std::unique_ptr<JournalReader> reader = JournalReader::Open(file, &error);
        if (!reader) {
            std::fprintf(stderr, "krvadmin: cannot read the journal %s: %s\n", file.c_str(), error.c_str());
            return ExitStatus::Usage;
        }
        PageRequest page;
        page.limit = kPageRows;
        for (;;) {
            std::vector<RequestRecord> more = reader->Requests(filter, page);
            if (!reader->Error().empty()) {
                std::fprintf(stderr, "krvadmin: cannot read the journal %s: %s\n", file.c_str(),
                             reader->Error().c_str());
                return ExitStatus::Usage;
            }
            if (more.empty()) {
                break;
            }
            page.after = JournalCursor{more.back().entry.time, more.back().id};
            std::move(more.begin(), more.end(), std::back_inserter(records));
        }
    }
    const std::string out = FormatJournal(records, options.journalFormat);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return ExitStatus::Done;
}
