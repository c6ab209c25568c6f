#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "members/TkvCLDataCollection.hpp"
#include "rows/CaptionKeys.hpp"

// While a long list arrives, the window's thread is busy storing it and the second core has
// little to do; the sort keys of the captions that have come are made there meanwhile, so that
// the rebuild at the list's end mostly sorts. Keys are made of copies of the logins, a batch at
// a time, and only while no login already keyed has changed or gone.
class CaptionKeysAhead {
public:
    // Keys are made ahead once this many members have come: a shorter list is keyed by the
    // rebuild in a few tens of milliseconds, and keying it beside its arrival made the login no
    // shorter.
    static constexpr int32_t kLongList = 131072;
    // Fewer new members than this wait for the next batch or the rebuild: a batch starts a thread.
    static constexpr int32_t kFewestInABatch = 16384;

    explicit CaptionKeysAhead(Collation collation, int32_t longList = kLongList,
                              int32_t fewestInABatch = kFewestInABatch)
        : collation_(std::move(collation)), longList_(longList), fewestInABatch_(fewestInABatch) {}
    CaptionKeysAhead(const CaptionKeysAhead&) = delete;
    CaptionKeysAhead& operator=(const CaptionKeysAhead&) = delete;

    // Called as members arrive; cheap unless a batch is due.
    void Follow(const TkvCLDataCollection& members);
    // The keys of the first members' logins, for rows made of the members in their order;
    // nothing when a login keyed has changed or gone since. Starts afresh.
    KeyedCaptions Take(const TkvCLDataCollection& members);

private:
    // Logins one after another, and where each ends.
    struct Batch {
        std::string bytes;
        std::vector<uint32_t> ends;
        uint32_t firstRow = 0;
    };

    void Start();
    void Finish();
    void Drop();
    static void KeyBatch(const Batch& batch, KeyedCaptions& made);

    Collation collation_;
    int32_t longList_;
    int32_t fewestInABatch_;
    uint64_t rewritten_ = 0;  // the members' LoginsRewritten when keying began
    int32_t offered_ = 0;     // members copied into batches so far
    // Both touched by the batch in flight only, until Finish.
    Batch batch_;
    KeyedCaptions made_;
    std::atomic<bool> busy_ = false;
    // Last, so that it goes first: its end waits for the batch in flight, before what that touches.
    std::future<void> inFlight_;
};
