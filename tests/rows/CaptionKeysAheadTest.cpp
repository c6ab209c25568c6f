#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "rows/CaptionKeysAhead.hpp"
#include "rows/CaptionOrder.hpp"

// Keys made while members arrive must sort the rows of a rebuild exactly as keys made at the
// rebuild do, whatever happened to the members in between: logins added, updated in another
// letter case, deleted, all cleared.
namespace {

// Few letters in both cases, so that logins come back in another case; the C locale puts
// upper case first, so a changed case moves a row there.
std::string RandomLogin(std::mt19937& random) {
    static const std::string alphabet = "abAB1_z\xe9";
    std::string login;
    for (size_t length = 1 + random() % 3; length > 0; --length) {
        login.push_back(alphabet[random() % alphabet.size()]);
    }
    return login;
}

MemberRows RowsOf(const TkvCLDataCollection& members) {
    MemberRows rows;
    for (int32_t position = 0; position < members.Count(); ++position) {
        rows.emplace_back(*members.Items(position));
    }
    return rows;
}

class CaptionKeysAheadTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CaptionKeysAheadTest, RowsSortAsWithKeysMadeAtTheRebuild) {
    const Collation collation{GetParam(), true, false, false};
    std::mt19937 random(20261210);
    TkvCLDataCollection members;
    CaptionKeysAhead ahead(collation, 6, 3);
    int rebuildsWithKeysAhead = 0;
    for (int step = 0; step < 4000; ++step) {
        const unsigned choice = random() % 100;
        if (choice < 85) {
            members.AddOrUpdate(RandomLogin(random), "", "", "", "", "", false);
        } else if (choice < 90) {
            members.Delete(RandomLogin(random));
        } else if (choice == 90) {
            members.Clear();
        }
        if (choice < 95) {
            ahead.Follow(members);
            continue;
        }
        const MemberRows rows = RowsOf(members);
        KeyedCaptions taken = ahead.Take(members);
        rebuildsWithKeysAhead += taken.entries.empty() ? 0 : 1;
        ASSERT_EQ(RowsInCaptionOrder(rows, collation, std::move(taken)), RowsInCaptionOrder(rows, collation))
            << "step " << step;
    }
    EXPECT_GT(rebuildsWithKeysAhead, 20);
}

INSTANTIATE_TEST_SUITE_P(Locales, CaptionKeysAheadTest, ::testing::Values("C", "en_US", "de_DE"));

}  // namespace
