#include "rows/CaptionKeysAhead.hpp"

#include <string_view>
#include <utility>

void CaptionKeysAhead::Follow(const TkvCLDataCollection& members) {
    const int32_t fewest = offered_ == 0 ? longList_ : fewestInABatch_;
    if (members.Count() - offered_ < fewest || busy_.load(std::memory_order_acquire)) {
        return;
    }
    Finish();
    if (offered_ > 0 && members.LoginsRewritten() != rewritten_) {
        Drop();
    }
    if (offered_ == 0) {
        rewritten_ = members.LoginsRewritten();
    }
    // The batch before this one is done with, and its room is used again.
    batch_.bytes.clear();
    batch_.ends.clear();
    batch_.firstRow = static_cast<uint32_t>(offered_);
    for (; offered_ < members.Count(); ++offered_) {
        batch_.bytes += members.Items(offered_)->Login();
        batch_.ends.push_back(static_cast<uint32_t>(batch_.bytes.size()));
    }
    Start();
}

KeyedCaptions CaptionKeysAhead::Take(const TkvCLDataCollection& members) {
    Finish();
    KeyedCaptions taken;
    if (offered_ > 0 && members.LoginsRewritten() == rewritten_) {
        taken = std::exchange(made_, {});
    }
    Drop();
    return taken;
}

void CaptionKeysAhead::Start() {
    if (!made_.keys) {
        made_.keys.emplace(collation_);
    }
    busy_.store(true, std::memory_order_relaxed);
    inFlight_ = std::async(std::launch::async, [this] {
        KeyBatch(batch_, made_);
        busy_.store(false, std::memory_order_release);
    });
}

void CaptionKeysAhead::Finish() {
    if (inFlight_.valid()) {
        inFlight_.get();
    }
}

void CaptionKeysAhead::Drop() {
    Finish();
    made_ = {};
    offered_ = 0;
    batch_ = {};
}

// Keys and entries grow by doubling: reserving for each batch would copy all before it again.
void CaptionKeysAhead::KeyBatch(const Batch& batch, KeyedCaptions& made) {
    const std::string_view bytes = batch.bytes;
    uint32_t start = 0;
    uint32_t row = batch.firstRow;
    for (const uint32_t end : batch.ends) {
        const uint32_t key = made.keys->Add(bytes.substr(start, end - start));
        made.entries.push_back({HeadOf(made.keys->At(key)), key, row++});
        start = end;
    }
}
