#pragma once

#include "members/TkvCLData.hpp"

// Told by a collection of members just before it changes or drops records, so that whoever reads
// a record in place, rather than keep a copy of it, can take its copy while the record still
// holds what it showed.
class TkvCLDataWatcher {
public:
    // The record is about to be rewritten or deleted.
    virtual void RecordChanging(const TkvCLData& record) = 0;
    // Every record is about to go at once.
    virtual void AllRecordsGoing() = 0;

protected:
    ~TkvCLDataWatcher() = default;
};
