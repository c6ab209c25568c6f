#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "members/TkvCLData.hpp"
#include "members/TkvCLDataWatcher.hpp"
#include "util/GrowingArray.hpp"
#include "util/LargeArray.hpp"
#include "util/LargePages.hpp"
#include "util/OpenAddressing.hpp"

// The in-memory copy of the server's member list. Records keep the order of their first
// addition; logins are unique under ASCII case-insensitive comparison.
//
// Sized for a million members: records live in blocks that never move (so a record handed out
// by Items stays where it is while others come and go), their order is one array of pointers,
// and logins are found through an open-addressing table of record numbers hashed on the folded
// login, with no folded copy kept. Each slot keeps the low half of its login's hash beside the
// record number, so probing and regrowing compare and place slots without visiting records.
class TkvCLDataCollection {
public:
    void AddOrUpdate(std::string_view login, std::string_view presence1, std::string_view presence2,
                     std::string_view protocolsText, std::string_view password, std::string_view userBotsText,
                     bool online);
    void Delete(std::string_view login);
    void Clear();
    int32_t Count() const { return static_cast<int32_t>(order_.size() - holes_); }
    bool Exists(std::string_view login) const;
    int32_t IndexOf(std::string_view login) const;
    // The record at a position, or nullptr outside 0 to Count() - 1; the collection keeps it.
    const TkvCLData* Items(int32_t position) const;
    // The record of a login, or nullptr; unlike IndexOf, it never renumbers the positions.
    const TkvCLData* RecordOf(std::string_view login) const { return Find(login); }
    bool GetData(std::string_view login, std::string& presence1, std::string& presence2,
                 std::string& protocolsText, std::string& password, std::string& userBotsText,
                 bool& online) const;
    // Counts the changes that alter or remove a login already at a position: a deletion, a
    // clearing, an update that changes a login's letter case. Members added behind the others
    // leave it alone, so while it stands, positions keep the logins they had.
    uint64_t LoginsRewritten() const { return loginsRewritten_; }
    // Room for this many records without growing the order or the index again.
    void Reserve(int32_t count);
    // Tells watcher of every record about to change or go, until told another or nullptr; not
    // when the collection itself is destroyed, which a reader in place must see to first.
    void Watch(TkvCLDataWatcher* watcher) { watcher_ = watcher; }

private:
    static constexpr uint32_t kEmpty = HashedNumber::kNone;  // an index slot without a record
    static constexpr uint32_t kFreed = UINT32_MAX;           // the position of a record given up

    // A record number with the low 32 bits of its folded login's hash.
    using Slot = HashedNumber;

    // Every block holds kRecordsPerBlock records, the first one too: a record is made only when
    // it is first used, so the room a short list leaves is never touched, while a long list's
    // records lie side by side from the first on, filling whole large pages rather than a few
    // small blocks each rounded up to one.
    static constexpr uint32_t kRecordsPerBlock = 262144;

    TkvCLData& Record(uint32_t number) const {
        return recordBlocks_[number / kRecordsPerBlock][number % kRecordsPerBlock];
    }
    // The number of a record not in use: one given up before, or a new one.
    uint32_t UnusedRecord();
    TkvCLData* Find(std::string_view login) const;
    // The index slot that holds the login's record number, or the empty slot where it would go.
    size_t SlotOf(std::string_view login, uint32_t hash) const;
    void GrowIndex(size_t wanted);
    // Moves the records after the places deleted ones left empty up, renumbering them.
    void CloseHoles() const;

    // Blocks of records, never moved and never shrunk while members remain; freed records are
    // reused. Whole blocks, as a block per record would cost an allocation per member, and large
    // ones, laid out for large pages.
    std::vector<LargeArray<TkvCLData>> recordBlocks_;
    uint32_t recordCount_ = 0;                // records made so far, in use or freed
    std::vector<uint32_t> freeRecords_;       // numbers of records Delete gave up
    mutable GrowingArray<TkvCLData*> order_;  // the records by position; nullptr where one was deleted
    // Size a power of two, at most 3/4 full. It grows in place: the slots it held are placed
    // anew where they lie, so a million members' index costs the first touches of its final size
    // only, not of every smaller table before it as well.
    GrowingArray<Slot> index_;
    // The first place a Delete left empty, and how many there are; closed up when asked for.
    mutable size_t staleFrom_ = SIZE_MAX;
    mutable size_t holes_ = 0;
    TkvCLDataWatcher* watcher_ = nullptr;
    uint64_t loginsRewritten_ = 0;
};
