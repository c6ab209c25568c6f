#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "members/MemberText.hpp"
#include "members/TkvCLDataCollection.hpp"

namespace {

std::string LoginOf(int64_t number) {
    char login[32];
    std::snprintf(login, sizeof login, "member%07lld", static_cast<long long>(number));
    return login;
}

// Member texts as a full member report would carry them, half of the accounts connected.
std::vector<std::string> MemberTexts(int64_t count) {
    std::vector<std::string> texts;
    texts.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        std::string presence = i % 2 == 0 ? "10.0.0.1:4000" : "";
        texts.push_back(presence + ",," + LoginOf(i) + "=secret" + std::to_string(i) +
                        ",administrator chat;bot1,bot2;");
    }
    return texts;
}

template <class List>
void LoadInto(List& members, const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        TkvMemberText member = ParseMemberText(text);
        members.AddOrUpdate(member.Login, member.Presence1, member.Presence2, member.ProtocolsText,
                            member.Password, member.UserBotsText, member.Online);
    }
}

// What a member list without an index does: every AddOrUpdate walks the records from the first.
class LinearWalkMemberList {
public:
    void AddOrUpdate(std::string_view login, std::string_view presence1, std::string_view presence2,
                     std::string_view protocolsText, std::string_view password, std::string_view userBotsText,
                     bool online) {
        TkvCLData* record = nullptr;
        for (const auto& candidate : records_) {
            if (SameTextAscii(candidate->Login(), login)) {
                record = candidate.get();
                break;
            }
        }
        if (record == nullptr) {
            records_.push_back(std::make_unique<TkvCLData>());
            record = records_.back().get();
        }
        record->SetLogin(login);
        record->SetPresence1(presence1);
        record->SetPresence2(presence2);
        record->SetProtocolsText(protocolsText);
        record->SetPassword(password);
        record->SetUserBotsText(userBotsText);
        record->SetOnline(online);
    }
    size_t Count() const { return records_.size(); }

private:
    std::vector<std::unique_ptr<TkvCLData>> records_;
};

template <class List>
void LoadMembers(benchmark::State& state) {
    const std::vector<std::string> texts = MemberTexts(state.range(0));
    for (auto _ : state) {
        List members;
        LoadInto(members, texts);
        benchmark::DoNotOptimize(members.Count());
        state.PauseTiming();  // freeing the records is not part of loading
        { List discarded = std::move(members); }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_LoadIndexed(benchmark::State& state) {
    LoadMembers<TkvCLDataCollection>(state);
}
void BM_LoadLinearWalk(benchmark::State& state) {
    LoadMembers<LinearWalkMemberList>(state);
}

constexpr int64_t kMillion = 1'000'000;

const TkvCLDataCollection& MillionMembers() {
    static const TkvCLDataCollection members = [] {
        TkvCLDataCollection loaded;
        LoadInto(loaded, MemberTexts(kMillion));
        return loaded;
    }();
    return members;
}

// Logins in mixed letter case, every second one absent from the list.
std::vector<std::string> LookupLogins() {
    std::mt19937 random(42);
    std::vector<std::string> logins;
    for (int i = 0; i < 4096; ++i) {
        std::string login = LoginOf(static_cast<int64_t>(random() % (2 * kMillion)));
        login[0] = 'M';
        logins.push_back(login);
    }
    return logins;
}

void BM_ExistsInMillion(benchmark::State& state) {
    const TkvCLDataCollection& members = MillionMembers();
    const std::vector<std::string> logins = LookupLogins();
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(members.Exists(logins[next++ % logins.size()]));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_IndexOfInMillion(benchmark::State& state) {
    const TkvCLDataCollection& members = MillionMembers();
    const std::vector<std::string> logins = LookupLogins();
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(members.IndexOf(logins[next++ % logins.size()]));
    }
    state.SetItemsProcessed(state.iterations());
}

// Each round deletes the record in the middle and, untimed, appends it again so that the list
// stays at a million.
void BM_DeleteMiddleOfMillion(benchmark::State& state) {
    TkvCLDataCollection members;
    LoadInto(members, MemberTexts(kMillion));
    for (auto _ : state) {
        std::string login(members.Items(members.Count() / 2)->Login());
        members.Delete(login);
        state.PauseTiming();
        members.AddOrUpdate(login, "", "", "chat", "pw", "", false);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_LoadIndexed)
    ->Arg(10'000)
    ->Arg(50'000)
    ->Arg(100'000)
    ->Arg(kMillion)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLinearWalk)->Arg(10'000)->Arg(50'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExistsInMillion);
BENCHMARK(BM_IndexOfInMillion);
BENCHMARK(BM_DeleteMiddleOfMillion)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
