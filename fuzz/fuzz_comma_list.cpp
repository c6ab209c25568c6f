// The comma list read back from its written text: the same list, except that an empty last
// item of a list of two or more is not written in a form that reads back (the text "a," is
// the list "a"), so that one item comes back missing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "Require.hpp"
#include "util/untCalc1.hpp"

namespace {

TextList AfterRoundTrip(TextList list) {
    if (list.size() >= 2 && list.back().empty()) {
        list.pop_back();
    }
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input read as a comma-list text: writing what was read and reading it again.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TextList read = ReadCommaList(text);
    for (const std::string& item : read) {
        KRV_REQUIRE(item.find('\0') == std::string::npos);  // a zero byte ends the text
    }
    KRV_REQUIRE(ReadCommaList(WriteCommaList(read)) == AfterRoundTrip(read));

    // The input cut into a list of items (a zero byte ends each item, as it would end a text).
    FuzzedDataProvider input(data, size);
    TextList list;
    while (input.remaining_bytes() > 0) {
        std::string item = input.ConsumeRandomLengthString(16);
        list.push_back(item.substr(0, item.find('\0')));
    }
    KRV_REQUIRE(ReadCommaList(WriteCommaList(list)) == AfterRoundTrip(list));
    return 0;
}
