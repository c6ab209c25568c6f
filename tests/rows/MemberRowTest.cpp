#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "members/TkvCLData.hpp"
#include "rows/MemberRow.hpp"

// A row is one word that either reads a record or owns a copy: every way of making, copying,
// moving and overwriting rows must keep each row's texts, leave the source as the language
// leaves it, and free each copy once (the sanitizer build finds a copy freed twice or never).
namespace {

struct Texts {
    std::string login;
    std::string protocols;
    std::string userBots;
    bool online = false;
    bool readsRecord = false;
};

Texts TextsOf(const MemberRow& row, const TkvCLData& record) {
    return {std::string(row.Login()), row.ProtocolsText(), row.UserBotsText(), row.Online(),
            row.Reads(record)};
}

void ExpectTexts(const MemberRow& row, const TkvCLData& record, const Texts& wanted) {
    const Texts got = TextsOf(row, record);
    EXPECT_EQ(got.login, wanted.login);
    EXPECT_EQ(got.protocols, wanted.protocols);
    EXPECT_EQ(got.userBots, wanted.userBots);
    EXPECT_EQ(got.online, wanted.online);
    EXPECT_EQ(got.readsRecord, wanted.readsRecord);
    std::string appended;
    row.AppendTexts(appended);
    EXPECT_EQ(appended, wanted.login + '\0' + wanted.protocols + '\0' + wanted.userBots + '\0');
}

enum class Kind { Empty, ReadsRecord, OwnsCopy };

struct Fixture {
    TkvCLData record;
    Fixture() { record.Assign("reader", "", "", "ICQ,AIM", "secret", "bot1", true); }
    MemberRow Make(Kind kind) const {
        switch (kind) {
            case Kind::ReadsRecord:
                return MemberRow(record);
            case Kind::OwnsCopy:
                return MemberRow("owner", "XMPP", "bot2,bot3", false);
            case Kind::Empty:
                break;
        }
        return MemberRow();
    }
    Texts TextsOf(Kind kind) const {
        switch (kind) {
            case Kind::ReadsRecord:
                return {"reader", "ICQ,AIM", "bot1", true, true};
            case Kind::OwnsCopy:
                return {"owner", "XMPP", "bot2,bot3", false, false};
            case Kind::Empty:
                break;
        }
        return {};
    }
};

struct TwoRowsCase {
    const char* name;
    // What is done to a target row with a source row. The target then shows what the source
    // showed; the source shows the same, or nothing when it was moved from.
    std::function<void(MemberRow& target, MemberRow& source)> action;
    bool sourceEmptiedWhenMoved;
};

class MemberRowTest : public ::testing::TestWithParam<TwoRowsCase> {};

TEST_P(MemberRowTest, KeepsTextsThroughCopiesAndMoves) {
    const Fixture fixture;
    for (const Kind targetKind : {Kind::Empty, Kind::ReadsRecord, Kind::OwnsCopy}) {
        for (const Kind sourceKind : {Kind::Empty, Kind::ReadsRecord, Kind::OwnsCopy}) {
            SCOPED_TRACE(static_cast<int>(targetKind) * 10 + static_cast<int>(sourceKind));
            MemberRow target = fixture.Make(targetKind);
            MemberRow source = fixture.Make(sourceKind);
            GetParam().action(target, source);
            ExpectTexts(target, fixture.record, fixture.TextsOf(sourceKind));
            ExpectTexts(source, fixture.record,
                        fixture.TextsOf(GetParam().sourceEmptiedWhenMoved ? Kind::Empty : sourceKind));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MemberRowTest,
    ::testing::Values(
        TwoRowsCase{"CopyAssigned", [](MemberRow& target, MemberRow& source) { target = source; }, false},
        TwoRowsCase{"MoveAssigned", [](MemberRow& target, MemberRow& source) { target = std::move(source); },
                    true},
        TwoRowsCase{"CopyMadeInPlace",
                    [](MemberRow& target, MemberRow& source) {
                        std::destroy_at(&target);
                        std::construct_at(&target, source);
                    },
                    false},
        TwoRowsCase{"MoveMadeInPlace",
                    [](MemberRow& target, MemberRow& source) {
                        std::destroy_at(&target);
                        std::construct_at(&target, std::move(source));
                    },
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MemberRow, AssignedToItselfKeepsItsTexts) {
    const Fixture fixture;
    for (const Kind kind : {Kind::Empty, Kind::ReadsRecord, Kind::OwnsCopy}) {
        MemberRow row = fixture.Make(kind);
        MemberRow& same = row;
        row = same;
        ExpectTexts(row, fixture.record, fixture.TextsOf(kind));
        row = std::move(same);
        ExpectTexts(row, fixture.record, fixture.TextsOf(kind));
    }
}

TEST(MemberRow, DetachedRowShowsTheRecordAsItWas) {
    Fixture fixture;
    std::vector<MemberRow> rows;
    rows.emplace_back(fixture.record);
    rows.emplace_back(fixture.record);
    rows[0].Detach();
    rows[0].Detach();  // a second time changes nothing
    fixture.record.Assign("renamed", "", "", "IRC", "secret", "", false);
    ExpectTexts(rows[0], fixture.record, {"reader", "ICQ,AIM", "bot1", true, false});
    ExpectTexts(rows[1], fixture.record, {"renamed", "IRC", "", false, true});
    MemberRow copy = rows[0];
    rows[0] = MemberRow();
    ExpectTexts(copy, fixture.record, {"reader", "ICQ,AIM", "bot1", true, false});
    MemberRow empty;
    empty.Detach();
    ExpectTexts(empty, fixture.record, {});
}

}  // namespace
