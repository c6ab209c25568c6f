#include "admin/ImportPlan.hpp"

#include <algorithm>
#include <string>

#include "admin/MemberOutput.hpp"
#include "admin/TextOut.hpp"
#include "session/AccountRules.hpp"
#include "util/untCalc1.hpp"

namespace {

bool SetColumn(int& column, int at, const std::string& name, std::string& error) {
    if (column >= 0) {
        error = "the header names the column " + name + " twice";
        return false;
    }
    column = at;
    return true;
}

std::string FieldAt(const CsvRecord& row, int column, std::string kept) {
    return column >= 0 ? Trim(row.fields[static_cast<size_t>(column)]) : kept;
}

}  // namespace

bool ReadImportRecords(std::string_view text, std::vector<CsvRecord>& records, std::string& error) {
    records.clear();
    CsvReader reader(text);
    CsvRecord record;
    while (reader.Next(record)) {
        if (record.openQuoteLine != 0) {
            error = "the quote opened on line " + std::to_string(record.openQuoteLine) +
                    " is never closed, so every line after it would be read as one field; nothing was sent";
            return false;
        }
        records.push_back(std::move(record));
    }
    return true;
}

bool ReadImportHeader(const CsvRecord& header, ImportColumns& columns, std::string& error) {
    columns = ImportColumns{};
    if (!header.error.empty()) {
        error = "the header row is malformed: " + header.error;
        return false;
    }
    columns.count = header.fields.size();
    for (size_t i = 0; i < header.fields.size(); ++i) {
        const std::string name = FoldAscii(Trim(header.fields[i]));
        const int at = static_cast<int>(i);
        bool ok = true;
        if (name == kLoginColumn) {
            ok = SetColumn(columns.login, at, name, error);
        } else if (name == kPasswordColumn) {
            ok = SetColumn(columns.password, at, name, error);
        } else if (name == kProtocolsColumn) {
            ok = SetColumn(columns.protocols, at, name, error);
        } else if (name == kUserBotsColumn || name == "bots") {
            ok = SetColumn(columns.userBots, at, std::string(kUserBotsColumn), error);
        }
        if (!ok) {
            return false;
        }
    }
    if (columns.login < 0) {
        error = "the header row has no login column";
        return false;
    }
    return true;
}

ImportStep PlanImportRow(const CsvRecord& row, const ImportColumns& columns,
                         const TkvCLDataCollection& members, bool update, std::string_view ownLogin) {
    ImportStep step;
    step.line = row.line;
    if (!row.error.empty()) {
        step.reason = row.error;
        return step;
    }
    if (row.fields.size() != columns.count) {
        step.reason = std::to_string(row.fields.size()) + " fields where the header has " +
                      std::to_string(columns.count);
        return step;
    }
    step.login = Trim(row.fields[static_cast<size_t>(columns.login)]);
    if (step.login.empty()) {
        step.reason = "no login";
        return step;
    }
    const int32_t index = members.IndexOf(step.login);
    const TkvCLData* existing = members.Items(index);
    if (existing != nullptr && !update) {
        step.action = ImportAction::Refuse;
        step.reason = "login exists (--update edits it)";
        return step;
    }
    AccountFields fields;
    fields.login = step.login;
    fields.password =
        FieldAt(row, columns.password, existing ? std::string(existing->Password()) : std::string());
    fields.protocols =
        FieldAt(row, columns.protocols, existing ? existing->GetProtocolsText() : std::string());
    fields.userBots = FieldAt(row, columns.userBots, existing ? existing->GetUserBotsText() : std::string());
    if (std::string problem = AccountRequestProblem(fields, existing, ownLogin); !problem.empty()) {
        step.action = ImportAction::Refuse;
        step.reason = problem;
        return step;
    }
    step.action = existing ? ImportAction::Edit : ImportAction::Add;
    step.fields = std::move(fields);
    return step;
}

void ImportTally::Sent(const ImportStep& step, RequestId id) {
    waiting_.emplace(id, Waiting{step.line, step.action, step.login});
    ++pending_;
}

void ImportTally::NotSent(const ImportStep& step) {
    if (step.action == ImportAction::Add) {
        ++added_;
    } else if (step.action == ImportAction::Edit) {
        ++changed_;
    } else {
        (step.action == ImportAction::Refuse ? refused_ : skipped_)
            .push_back({step.line, step.login, step.reason});
    }
}

bool ImportTally::Settled(const SettledRequest& request) {
    const auto found = waiting_.find(request.id);
    if (found == waiting_.end()) {
        return false;
    }
    const Waiting row = std::move(found->second);
    waiting_.erase(found);
    switch (request.outcome) {
        case RequestOutcome::Confirmed:
            ++(row.action == ImportAction::Add ? added_ : changed_);
            break;
        case RequestOutcome::Refused:
            refused_.push_back({row.line, row.login, request.reason});
            break;
        case RequestOutcome::Unconfirmed:
            return false;
    }
    --pending_;
    return true;
}

std::string ImportTally::Summary(bool dryRun) const {
    std::string out =
        std::string(dryRun ? "would add " : "added ") + std::to_string(added_) +
        (dryRun ? ", would change " : ", changed ") + std::to_string(changed_) + ", refused " +
        std::to_string(refused_.size()) + ", skipped " + std::to_string(skipped_.size()) +
        (pending_ > 0 ? ", sent without an answer " + std::to_string(pending_) : std::string()) + "\n";
    // The server answers in any order across logins; the file's order reads best.
    std::vector<const Outcome*> refused;
    for (const Outcome& outcome : refused_) {
        refused.push_back(&outcome);
    }
    std::sort(refused.begin(), refused.end(),
              [](const Outcome* a, const Outcome* b) { return a->line < b->line; });
    for (const Outcome* outcome : refused) {
        out += "refused line " + std::to_string(outcome->line) + " (" + VisibleText(outcome->login) +
               "): " + VisibleText(outcome->reason) + "\n";
    }
    for (const Outcome& outcome : skipped_) {
        out += "skipped line " + std::to_string(outcome.line) + ": " + VisibleText(outcome.reason) + "\n";
    }
    return out;
}
