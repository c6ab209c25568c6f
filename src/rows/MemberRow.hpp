#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "members/TkvCLData.hpp"
#include "util/LargePages.hpp"

// What one row of the member list shows, as the bytes the server sent: a snapshot taken at
// the last rebuild, so that the member list may change under it until the next one.
//
// A million rows must not copy a million members, so a row made from a record reads that record
// in place, and takes its own copy only when told the record is about to change or go.
class MemberRow {
public:
    MemberRow() = default;
    // A row with its own copy of the texts.
    MemberRow(std::string login, std::string protocolsText, std::string userBotsText, bool online);
    // A row that reads the record until it is told to Detach from it.
    explicit MemberRow(const TkvCLData& record) : record_(&record) {}
    MemberRow(const MemberRow& other);
    MemberRow(MemberRow&& other) noexcept = default;
    MemberRow& operator=(const MemberRow& other);
    MemberRow& operator=(MemberRow&& other) noexcept = default;
    ~MemberRow() = default;

    std::string_view Login() const;
    std::string ProtocolsText() const;
    std::string UserBotsText() const;
    bool Online() const;
    // The login, protocols and user bots texts appended to out, each followed by a zero byte;
    // with nothing made on the way for a row that reads its record.
    void AppendTexts(std::string& out) const;

    bool Reads(const TkvCLData& record) const { return record_ == &record; }
    // Keeps what the record holds now, which the row goes on showing after the record changes.
    void Detach();

private:
    struct Copy {
        std::string login;
        std::string protocolsText;
        std::string userBotsText;
        bool online = false;
    };

    const TkvCLData* record_ = nullptr;
    std::unique_ptr<const Copy> copy_;  // when it reads no record; none for an empty row
};

// The rows of a rebuild: a million of them are one large block.
using MemberRows = LargeVector<MemberRow>;
