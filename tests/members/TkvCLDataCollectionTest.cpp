#include "members/TkvCLDataCollection.hpp"

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

void AddMember(TkvCLDataCollection& members, const std::string& login, const std::string& password = "pw") {
    members.AddOrUpdate(login, "", "", "chat", password, "bot", false);
}

std::vector<std::string> LoginsInOrder(const TkvCLDataCollection& members) {
    std::vector<std::string> logins;
    for (int32_t i = 0; i < members.Count(); ++i) {
        logins.emplace_back(members.Items(i)->Login());
    }
    return logins;
}

TEST(TkvCLDataCollection, AddOrUpdateStoresEveryFieldInNormalisedForm) {
    TkvCLDataCollection members;
    members.AddOrUpdate("bob", "p1", "p2", " administrator  chat ", "secret", " b1 ,, b2 ", true);
    ASSERT_EQ(members.Count(), 1);
    const TkvCLData* bob = members.Items(0);
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->Login(), "bob");
    EXPECT_EQ(bob->Presence1(), "p1");
    EXPECT_EQ(bob->Presence2(), "p2");
    EXPECT_EQ(bob->Password(), "secret");
    EXPECT_EQ(bob->Protocols(), (TextList{"administrator", "chat"}));
    EXPECT_EQ(bob->UserBots(), (TextList{"b1", "b2"}));
    EXPECT_TRUE(bob->Online());

    std::string presence1, presence2, protocols, password, userBots;
    bool online = false;
    ASSERT_TRUE(members.GetData("BOB", presence1, presence2, protocols, password, userBots, online));
    EXPECT_EQ(presence1, "p1");
    EXPECT_EQ(presence2, "p2");
    EXPECT_EQ(protocols, "administrator,chat");
    EXPECT_EQ(password, "secret");
    EXPECT_EQ(userBots, "b1,b2");
    EXPECT_TRUE(online);
}

struct LetterCaseCase {
    std::vector<std::string> added;
    std::vector<std::string> expectedOrder;
};

TEST(TkvCLDataCollection, UpdateKeepsPositionAndTakesOverTheNewLetterCase) {
    const LetterCaseCase cases[] = {
        {{"bob", "BOB"}, {"BOB"}},
        {{"Bob", "ann", "bob"}, {"bob", "ann"}},
        {{"ann", "Bob", "cid", "bOB", "ANN"}, {"ANN", "bOB", "cid"}},
        {{"", ""}, {""}},
        // Bytes outside A-Z/a-z compare by value: these are two accounts.
        {{"\xc9mile", "\xe9mile", "\xc9MILE"}, {"\xc9MILE", "\xe9mile"}},
        {{"a_b", "A_B", "a-b"}, {"A_B", "a-b"}},
    };
    for (const auto& c : cases) {
        TkvCLDataCollection members;
        for (const auto& login : c.added) {
            AddMember(members, login, "pw of " + login);
        }
        EXPECT_EQ(LoginsInOrder(members), c.expectedOrder);
        for (size_t i = 0; i < c.expectedOrder.size(); ++i) {
            EXPECT_EQ(members.IndexOf(c.expectedOrder[i]), static_cast<int32_t>(i));
        }
    }
}

TEST(TkvCLDataCollection, UpdateReplacesEveryField) {
    TkvCLDataCollection members;
    members.AddOrUpdate("bob", "p1", "p2", "administrator", "old", "b1", true);
    members.AddOrUpdate("Bob", "", "", "", "", "", false);
    const TkvCLData* bob = members.Items(0);
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->Login(), "Bob");
    EXPECT_EQ(bob->Presence1(), "");
    EXPECT_EQ(bob->Presence2(), "");
    EXPECT_EQ(bob->Password(), "");
    EXPECT_TRUE(bob->Protocols().empty());
    EXPECT_TRUE(bob->UserBots().empty());
    EXPECT_FALSE(bob->Online());
}

TEST(TkvCLDataCollection, AbsentLoginsAndOutOfRangePositionsFindNothing) {
    TkvCLDataCollection members;
    EXPECT_EQ(members.Items(0), nullptr);
    AddMember(members, "ann");
    AddMember(members, "bob");
    for (const std::string absent : {"", "an", "annx", " ann", "ann ", "cid"}) {
        EXPECT_EQ(members.IndexOf(absent), -1) << absent;
        EXPECT_FALSE(members.Exists(absent)) << absent;
        members.Delete(absent);
        EXPECT_EQ(LoginsInOrder(members), (std::vector<std::string>{"ann", "bob"})) << absent;
    }
    for (const int32_t position : {-1, 2, -2147483647 - 1, 2147483647}) {
        EXPECT_EQ(members.Items(position), nullptr) << position;
    }
}

TEST(TkvCLDataCollection, GetDataOfAbsentLoginLeavesOutputsUntouched) {
    TkvCLDataCollection members;
    members.AddOrUpdate("ann", "p1", "p2", "chat", "pw", "b", true);
    std::string presence1 = "a", presence2 = "b", protocols = "c", password = "d", userBots = "e";
    bool online = true;
    EXPECT_FALSE(members.GetData("bob", presence1, presence2, protocols, password, userBots, online));
    EXPECT_EQ(presence1, "a");
    EXPECT_EQ(presence2, "b");
    EXPECT_EQ(protocols, "c");
    EXPECT_EQ(password, "d");
    EXPECT_EQ(userBots, "e");
    EXPECT_TRUE(online);
}

TEST(TkvCLDataCollection, DeleteRenumbersTheRecordsAfterIt) {
    TkvCLDataCollection members;
    for (const std::string login : {"a", "b", "c", "d"}) {
        AddMember(members, login);
    }
    members.Delete("B");
    EXPECT_EQ(LoginsInOrder(members), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ(members.IndexOf("c"), 1);
    EXPECT_EQ(members.IndexOf("d"), 2);
    AddMember(members, "b");
    EXPECT_EQ(members.IndexOf("b"), 3);
    members.Clear();
    EXPECT_EQ(members.Count(), 0);
    EXPECT_FALSE(members.Exists("a"));
    AddMember(members, "d");
    EXPECT_EQ(members.IndexOf("d"), 0);
}

// What the list must behave like: a plain walk over the records in order.
class LinearMemberList {
public:
    struct Entry {
        std::string login;
        std::string password;
    };

    void AddOrUpdate(const std::string& login, const std::string& password) {
        int32_t position = IndexOf(login);
        if (position < 0) {
            entries_.push_back({});
            position = static_cast<int32_t>(entries_.size()) - 1;
        }
        entries_[static_cast<size_t>(position)] = {login, password};
    }
    void Delete(const std::string& login) {
        int32_t position = IndexOf(login);
        if (position >= 0) {
            entries_.erase(entries_.begin() + position);
        }
    }
    void Clear() { entries_.clear(); }
    int32_t IndexOf(const std::string& login) const {
        for (size_t i = 0; i < entries_.size(); ++i) {
            if (SameTextAscii(entries_[i].login, login)) {
                return static_cast<int32_t>(i);
            }
        }
        return -1;
    }
    const std::vector<Entry>& Entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

std::string RandomLetterCase(std::string login, std::mt19937& random) {
    for (char& c : login) {
        if (random() % 2 == 0) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return login;
}

void ExpectSameAsReference(const TkvCLDataCollection& members, const LinearMemberList& reference,
                           const std::vector<std::string>& pool) {
    ASSERT_EQ(members.Count(), static_cast<int32_t>(reference.Entries().size()));
    for (int32_t i = 0; i < members.Count(); ++i) {
        const TkvCLData* record = members.Items(i);
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(record->Login(), reference.Entries()[static_cast<size_t>(i)].login);
        ASSERT_EQ(record->Password(), reference.Entries()[static_cast<size_t>(i)].password);
    }
    for (const auto& login : pool) {
        ASSERT_EQ(members.IndexOf(login), reference.IndexOf(login)) << login;
        ASSERT_EQ(members.Exists(login), reference.IndexOf(login) >= 0) << login;
    }
}

TEST(TkvCLDataCollection, IndexAgreesWithALinearWalkOverRandomOperations) {
    const std::vector<std::string> pool = {"ann", "bob", "cid", "dee", "eve", "fay", "gus",       "hal",
                                           "ivy", "jon", "kim", "lou", "",    "x y", "\xe9t\xe9", "z1"};
    std::mt19937 random(20261208);
    TkvCLDataCollection members;
    LinearMemberList reference;
    for (int step = 0; step < 5000; ++step) {
        std::string login = RandomLetterCase(pool[random() % pool.size()], random);
        uint32_t choice = random() % 100;
        if (choice < 55) {
            std::string password = "pw" + std::to_string(step);
            AddMember(members, login, password);
            reference.AddOrUpdate(login, password);
        } else if (choice < 99) {
            members.Delete(login);
            reference.Delete(login);
        } else {
            members.Clear();
            reference.Clear();
        }
        SCOPED_TRACE("step " + std::to_string(step) + " login \"" + login + "\"");
        ExpectSameAsReference(members, reference, pool);
        if (HasFatalFailure()) {
            return;
        }
    }
}

// Tens of thousands of logins take the index through many regrowths and long probe runs; each
// must still be found in any letter case at its place of first addition, also after deletions
// have shifted entries back into the holes they leave.
TEST(TkvCLDataCollection, ManyLoginsAreFoundInAnyLetterCaseThroughGrowthAndDeletion) {
    struct Case {
        int count;
        int deleteEvery;  // every n-th login is deleted, then added again in upper case
    };
    // From one login to more than the first block of records holds (262,144), so that records
    // given up in one block are reused by logins that go into the next.
    const Case cases[] = {{1, 1},    {13, 2},    {65, 5},    {2049, 4},
                          {4097, 3}, {8193, 11}, {30000, 7}, {262150, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE("count " + std::to_string(c.count));
        TkvCLDataCollection members;
        std::vector<std::string> expected;
        for (int i = 0; i < c.count; ++i) {
            expected.push_back("Member" + std::to_string(i));
            AddMember(members, expected.back());
        }
        std::vector<std::string> kept;
        std::vector<std::string> readded;
        for (int i = 0; i < c.count; ++i) {
            if (i % c.deleteEvery == 0) {
                members.Delete(FoldAscii(expected[static_cast<size_t>(i)]));
                std::string upper = expected[static_cast<size_t>(i)];
                for (char& ch : upper) {
                    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                }
                readded.push_back(upper);
            } else {
                kept.push_back(expected[static_cast<size_t>(i)]);
            }
        }
        for (const std::string& login : readded) {
            AddMember(members, login);
        }
        std::vector<std::string> order = kept;
        order.insert(order.end(), readded.begin(), readded.end());
        ASSERT_EQ(members.Count(), static_cast<int32_t>(order.size()));
        for (size_t i = 0; i < order.size(); ++i) {
            const std::string folded = FoldAscii(order[i]);
            ASSERT_EQ(members.IndexOf(folded), static_cast<int32_t>(i)) << order[i];
            ASSERT_EQ(members.Items(static_cast<int32_t>(i))->Login(), order[i]);
        }
        ASSERT_FALSE(members.Exists("member" + std::to_string(c.count)));
        ASSERT_FALSE(members.Exists("Member0 "));
    }
}

// Deletions leave empty places that close up when a position is asked for: in list order from the
// front, as a bulk delete goes, the count follows each one, records are found by login meanwhile,
// and positions come out as if each had been closed up at once.
TEST(TkvCLDataCollection, DeletionsFromTheFrontKeepCountsAndPositions) {
    for (const int deleted : {1, 7, 500, 999}) {
        TkvCLDataCollection members;
        std::vector<std::string> logins;
        for (int i = 0; i < 1000; ++i) {
            logins.push_back(std::to_string(i));
            logins.back().insert(logins.back().begin(), 'm');
            AddMember(members, logins.back());
        }
        for (int i = 0; i < deleted; ++i) {
            members.Delete(logins[static_cast<size_t>(i)]);
            ASSERT_EQ(members.Count(), 1000 - i - 1);
            ASSERT_EQ(members.RecordOf(logins[static_cast<size_t>(i)]), nullptr);
            ASSERT_EQ(members.RecordOf(logins.back())->Login(), logins.back());
        }
        AddMember(members, "late");
        logins.erase(logins.begin(), logins.begin() + deleted);
        logins.push_back("late");
        EXPECT_EQ(LoginsInOrder(members), logins) << deleted;
        EXPECT_EQ(members.IndexOf("late"), static_cast<int32_t>(logins.size()) - 1) << deleted;
        EXPECT_EQ(members.IndexOf(logins.front()), 0) << deleted;
    }
}

// The index grows in place, each entry placed anew where the old table held it. Growth comes
// here between deletions (whose backward shifts rearrange the runs) and by Reserve jumps of
// several doublings at once, over enough logins that runs go round the table's end; after every
// growth each login present must be found, and each deleted one not.
TEST(TkvCLDataCollection, IndexGrownInPlaceFindsEveryLoginBetweenDeletionsAndReserveJumps) {
    struct Case {
        const char* name;
        int count;
        int deleteEvery;  // each n-th login added is deleted again at once (0: none)
        int reserveAt;    // at this many added, room for reserveFor is asked (-1: never)
        int reserveFor;
    };
    const Case cases[] = {
        {"doublings only", 50000, 0, -1, 0},
        {"deletions between doublings", 50000, 3, -1, 0},
        {"a jump of several doublings when half full", 20000, 5, 12, 200000},
        {"a jump when well filled", 20000, 0, 9000, 70000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TkvCLDataCollection members;
        std::vector<std::string> present;
        std::vector<std::string> gone;
        for (int i = 0; i < c.count; ++i) {
            if (i == c.reserveAt) {
                members.Reserve(c.reserveFor);
            }
            std::string login(1, 'm');
            login += std::to_string(i * 7919 % 1000003);
            AddMember(members, login);
            if (c.deleteEvery > 0 && i % c.deleteEvery == 0) {
                members.Delete(login);
                gone.push_back(login);
            } else {
                present.push_back(login);
            }
            // Checked right after each growth of the index, whose size is a power of two.
            const int32_t n = members.Count();
            if (n > 12 && (n & (n - 1)) == 0) {
                for (const std::string& held : present) {
                    ASSERT_TRUE(members.Exists(held)) << held << " at " << n;
                }
            }
        }
        ASSERT_EQ(members.Count(), static_cast<int32_t>(present.size()));
        for (size_t i = 0; i < present.size(); ++i) {
            ASSERT_EQ(members.IndexOf(present[i]), static_cast<int32_t>(i)) << present[i];
        }
        for (const std::string& login : gone) {
            ASSERT_FALSE(members.Exists(login)) << login;
        }
    }
}

// What keys made of the logins by position rely on: the count moves whenever a login already at a
// position changes or goes, and only then.
TEST(TkvCLDataCollection, CountsTheChangesThatRewriteLoginsAlreadyListed) {
    struct Change {
        const char* name;
        void (*apply)(TkvCLDataCollection&);
        bool rewrites;
    };
    const Change changes[] = {
        {"a new member", [](TkvCLDataCollection& m) { AddMember(m, "carol"); }, false},
        {"an update in the same letter case", [](TkvCLDataCollection& m) { AddMember(m, "bob", "new"); },
         false},
        {"an update in another letter case", [](TkvCLDataCollection& m) { AddMember(m, "Bob"); }, true},
        {"a deletion", [](TkvCLDataCollection& m) { m.Delete("ALICE"); }, true},
        {"the deletion of an unknown login", [](TkvCLDataCollection& m) { m.Delete("zed"); }, false},
        {"a clearing", [](TkvCLDataCollection& m) { m.Clear(); }, true},
    };
    for (const Change& change : changes) {
        TkvCLDataCollection members;
        AddMember(members, "alice");
        AddMember(members, "bob");
        const uint64_t before = members.LoginsRewritten();
        change.apply(members);
        EXPECT_EQ(members.LoginsRewritten() != before, change.rewrites) << change.name;
    }
}

}  // namespace
