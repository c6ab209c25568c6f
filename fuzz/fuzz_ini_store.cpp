// The settings store on an arbitrary file: the saved text of an untouched file is the file
// (with a line end added to a last line that lacks one), the program's own keys read back
// what was written to them, and the saved text parsed again gives the same values for every
// section and key the file names and is saved again unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Require.hpp"
#include "settings/IniStore.hpp"

namespace {

constexpr std::string_view kAbsent = "\x01 absent";

// Names in brackets and names before "=" (the first few), cut at CR and LF, as candidates to read.
void CollectNames(std::string_view text, std::vector<std::string>& sections, std::vector<std::string>& keys) {
    size_t start = 0;
    while (start <= text.size() && sections.size() + keys.size() < 12) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const size_t open = line.find('[');
        const size_t close = line.find(']');
        if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
            sections.emplace_back(line.substr(open + 1, close - open - 1));
        }
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            keys.emplace_back(line.substr(0, equals));
        }
        start = end + 1;
    }
}

std::string Trimmed(std::string_view value) {
    const size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(value.substr(first, value.find_last_not_of(" \t") - first + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    struct Write {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Write> writes;
    for (auto count = input.ConsumeIntegralInRange(0, 3); count > 0; --count) {
        writes.push_back({input.PickValueInArray({"Client", "client", "PARAMETERS"}),
                          input.PickValueInArray({"Host", "port", "Login", "wndMain", "Password"}),
                          input.ConsumeRandomLengthString(16)});
    }
    const std::string text = input.ConsumeRemainingBytesAsString();

    IniStore store("unused");
    store.SetText(text);
    const std::string untouched = store.Text();
    const bool endsWithLineEnd = text.empty() || text.back() == '\n';
    KRV_REQUIRE(untouched.starts_with(text));
    KRV_REQUIRE(endsWithLineEnd
                    ? untouched == text
                    : untouched.substr(text.size()) == "\n" || untouched.substr(text.size()) == "\r\n");

    std::vector<std::string> sections{"Client", "Parameters"};
    std::vector<std::string> keys{"Host", "Port", "Login", "wndMain", "Password"};
    CollectNames(text, sections, keys);
    for (const Write& write : writes) {
        const bool oneLine = write.value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
        KRV_REQUIRE(store.WriteString(write.section, write.key, write.value) == oneLine);
        if (oneLine) {
            KRV_REQUIRE(store.ReadString(write.section, write.key, kAbsent) ==
                        Trimmed(write.value).substr(0, IniStore::kMaxValueLength));
        }
    }

    const std::string saved = store.Text();
    IniStore reloaded("unused");
    reloaded.SetText(saved);
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            KRV_REQUIRE(reloaded.ReadString(section, key, kAbsent) ==
                        store.ReadString(section, key, kAbsent));
        }
    }
    KRV_REQUIRE(reloaded.Text() == saved);
    return 0;
}
