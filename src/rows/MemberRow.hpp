#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

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
    explicit MemberRow(const TkvCLData& record) : word_(reinterpret_cast<std::uintptr_t>(&record)) {}
    MemberRow(const MemberRow& other);
    MemberRow(MemberRow&& other) noexcept : word_(std::exchange(other.word_, 0)) {}
    MemberRow& operator=(const MemberRow& other);
    MemberRow& operator=(MemberRow&& other) noexcept;
    ~MemberRow() { DropCopy(); }

    std::string_view Login() const;
    std::string ProtocolsText() const;
    std::string UserBotsText() const;
    bool Online() const;
    // The login, protocols and user bots texts appended to out, each followed by a zero byte;
    // with nothing made on the way for a row that reads its record.
    void AppendTexts(std::string& out) const;

    bool Reads(const TkvCLData& record) const { return Record() == &record; }
    // Keeps what the record holds now, which the row goes on showing after the record changes.
    void Detach();

private:
    struct Copy {
        std::string login;
        std::string protocolsText;
        std::string userBotsText;
        bool online = false;
    };

    // A row reads a record or holds a copy, never both, so one word says which: a million rows
    // are a block of a million words. Both kinds are aligned, which leaves the lowest bit free
    // to mark a copy the row owns.
    static constexpr std::uintptr_t kOwnsCopy = 1;
    static_assert(alignof(TkvCLData) > 1 && alignof(Copy) > 1, "the lowest bit of their addresses is free");

    const TkvCLData* Record() const {
        return (word_ & kOwnsCopy) == 0 ? reinterpret_cast<const TkvCLData*>(word_) : nullptr;
    }
    const Copy* OwnCopy() const {
        return (word_ & kOwnsCopy) != 0 ? reinterpret_cast<const Copy*>(word_ & ~kOwnsCopy) : nullptr;
    }
    void HoldCopy(std::unique_ptr<const Copy> copy);
    // Most rows read a record and have nothing to free, which is seen here without a call.
    void DropCopy() noexcept {
        if ((word_ & kOwnsCopy) != 0) {
            FreeCopy();
        }
    }
    void FreeCopy() noexcept;

    std::uintptr_t word_ = 0;  // 0 for an empty row
};

static_assert(sizeof(MemberRow) == sizeof(void*), "rows stay one word each");

// The rows of a rebuild: a million of them are one large block.
using MemberRows = LargeVector<MemberRow>;
