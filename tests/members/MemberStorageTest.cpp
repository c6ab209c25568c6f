// The compact storage behind the member list: packed fields, record addresses that stay put,
// and the login index under growth and deletion.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "members/MemberText.hpp"
#include "members/PackedBytes.hpp"
#include "members/TkvCLDataCollection.hpp"

namespace {

struct Fields {
    std::string presence1, presence2, protocols, password, userBots;
};

TEST(MemberStorage, EveryFieldComesBackWhateverItsLengthAndBytes) {
    const std::string longText(300, 'x');  // a length that needs more than one length byte
    const std::string zeros("a\0b", 3);
    const std::vector<Fields> cases = {
        {"", "", "", "", ""},
        {longText, "", longText + " y", longText, longText + "," + longText},
        {zeros, zeros, "\"a\"\"b\" c", zeros, "x" + zeros + "y,z"},
        {"p", std::string(128, 'q'), "a,\"\"", std::string(127, 'r'), " , b ,"},
    };
    for (const Fields& c : cases) {
        TkvCLData record;
        record.Assign("login", c.presence1, c.presence2, c.protocols, c.password, c.userBots, true);
        TkvCLData reference;  // field by field, as the setters store them
        reference.SetProtocolsText(c.protocols);
        reference.SetUserBotsText(c.userBots);
        reference.SetPassword(c.password);
        reference.SetPresence2(c.presence2);
        reference.SetPresence1(c.presence1);
        EXPECT_EQ(record.Presence1(), c.presence1);
        EXPECT_EQ(record.Presence2(), c.presence2);
        EXPECT_EQ(record.Password(), c.password);
        EXPECT_EQ(record.Protocols(), ReadCommaList(c.protocols));
        EXPECT_EQ(record.UserBots(), ReadUserBotsText(c.userBots));
        EXPECT_EQ(record.GetProtocolsText(), WriteCommaList(ReadCommaList(c.protocols)));
        EXPECT_EQ(record.GetUserBotsText(), WriteUserBotsText(ReadUserBotsText(c.userBots)));
        EXPECT_EQ(reference.Presence1(), record.Presence1());
        EXPECT_EQ(reference.Presence2(), record.Presence2());
        EXPECT_EQ(reference.Password(), record.Password());
        EXPECT_EQ(reference.Protocols(), record.Protocols());
        EXPECT_EQ(reference.UserBots(), record.UserBots());
    }
}

TEST(MemberStorage, PackedBytesKeepTheirBytesInPlaceOrOnTheHeapThroughCopiesMovesAndSelfAssignment) {
    const size_t fits = PackedBytes::kInPlaceBytes;
    for (const size_t size : {size_t{0}, size_t{1}, fits, fits + 1, size_t{300}}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(i * 7);
        }
        const PackedBytes packed(bytes);
        EXPECT_EQ(packed.View(), bytes) << size;
        PackedBytes copied(packed);
        EXPECT_EQ(copied.View(), bytes) << size;
        PackedBytes moved(std::move(copied));
        EXPECT_EQ(moved.View(), bytes) << size;
        EXPECT_TRUE(copied.View().empty()) << size;  // NOLINT(bugprone-use-after-move)
        PackedBytes assigned(std::string(400, 'x'));
        assigned = packed;
        EXPECT_EQ(assigned.View(), bytes) << size;
        // From its own bytes: their front half.
        assigned.Assign(assigned.View().substr(0, size / 2));
        EXPECT_EQ(assigned.View(), bytes.substr(0, size / 2)) << size;
        PackedBytes target(std::string(400, 'y'));
        target = std::move(moved);
        EXPECT_EQ(target.View(), bytes) << size;
    }
}

TEST(MemberStorage, ASetterChangesItsFieldAlone) {
    TkvCLData record;
    record.Assign("bob", "p1", "p2", "a b", "pw", "x,y", true);
    record.SetPresence2(std::string(200, 'z'));
    record.SetProtocolsText("\"c d\"");
    EXPECT_EQ(record.Presence1(), "p1");
    EXPECT_EQ(record.Presence2(), std::string(200, 'z'));
    EXPECT_EQ(record.Protocols(), TextList{"c d"});
    EXPECT_EQ(record.Password(), "pw");
    EXPECT_EQ(record.UserBots(), (TextList{"x", "y"}));
    EXPECT_EQ(record.Login(), "bob");
}

TEST(MemberStorage, ParsedViewsAreTheFieldsOfTheCopyingParse) {
    for (const std::string text :
         {",,bob=,administrator,chat;bot1, bot2;", "  p1 , p2 ,  bob = pw , a b ; c , d ; ",
          "x,y,bob=", ",,a=b=pw,chat;", "", "bob", ",,bob"}) {
        const TkvMemberText copied = ParseMemberText(text);
        const TkvMemberTextView viewed = ParseMemberTextView(text);
        EXPECT_EQ(viewed.Login, copied.Login) << text;
        EXPECT_EQ(viewed.Presence1, copied.Presence1) << text;
        EXPECT_EQ(viewed.Presence2, copied.Presence2) << text;
        EXPECT_EQ(viewed.ProtocolsText, copied.ProtocolsText) << text;
        EXPECT_EQ(viewed.Password, copied.Password) << text;
        EXPECT_EQ(viewed.UserBotsText, copied.UserBotsText) << text;
        EXPECT_EQ(viewed.Online, copied.Online) << text;
        for (std::string_view field : {viewed.Login, viewed.Password, viewed.UserBotsText}) {
            if (!field.empty()) {
                EXPECT_TRUE(field.data() >= text.data() &&
                            field.data() + field.size() <= text.data() + text.size());
            }
        }
    }
}

// Appended rather than written "m" + std::to_string(n): g++ 12 at -O3 takes that form for an
// overlapping copy and warns (-Wrestrict) where nothing overlaps.
std::string Numbered(std::string prefix, unsigned long number) {
    prefix += std::to_string(number);
    return prefix;
}

// Thousands of logins, so the index grows several times and deletions shift long probe runs;
// a record handed out keeps its address and its contents while others come and go.
TEST(MemberStorage, RecordsStayPutAndTheIndexStaysRightThroughGrowthAndDeletion) {
    std::mt19937 random(42);
    TkvCLDataCollection members;
    std::vector<std::string> order;                 // logins by position, as the list must keep them
    std::map<std::string, std::string> passwordOf;  // by folded login
    const TkvCLData* watched = nullptr;
    for (int step = 0; step < 20000; ++step) {
        const std::string login = Numbered("m", random() % 3000);
        if (random() % 3 != 0) {
            const std::string password = Numbered("pw", static_cast<unsigned long>(step));
            members.AddOrUpdate(login, "", "", "chat", password, "", false);
            if (passwordOf.emplace(login, password).second) {
                order.push_back(login);
            } else {
                passwordOf[login] = password;
            }
            if (watched == nullptr) {
                watched = members.Items(members.IndexOf(login));
            }
        } else if (watched == nullptr || watched->Login() != login) {
            members.Delete(login);
            if (passwordOf.erase(login) != 0) {
                order.erase(std::find(order.begin(), order.end(), login));
            }
        }
        if (step % 997 == 0 || step == 19999) {
            ASSERT_EQ(members.Count(), static_cast<int32_t>(order.size()));
            for (size_t i = 0; i < order.size(); ++i) {
                ASSERT_EQ(members.Items(static_cast<int32_t>(i))->Login(), order[i]) << step;
                ASSERT_EQ(members.IndexOf(order[i]), static_cast<int32_t>(i)) << step;
                ASSERT_EQ(members.Items(static_cast<int32_t>(i))->Password(), passwordOf[order[i]]);
            }
            ASSERT_NE(watched, nullptr);
            EXPECT_EQ(members.Items(members.IndexOf(watched->Login())), watched);
            EXPECT_EQ(watched->Password(), passwordOf[std::string(watched->Login())]);
        }
    }
    for (int absent = 3000; absent < 3100; ++absent) {
        EXPECT_FALSE(members.Exists(Numbered("m", static_cast<unsigned long>(absent))));
    }
}

TEST(MemberStorage, ReserveChangesNothingThatShows) {
    TkvCLDataCollection members;
    members.AddOrUpdate("ann", "", "", "", "a", "", false);
    members.Reserve(100000);
    members.Reserve(0);
    members.Reserve(-5);
    members.AddOrUpdate("ANN", "x", "", "", "b", "", true);
    members.AddOrUpdate("bob", "", "", "", "c", "", false);
    ASSERT_EQ(members.Count(), 2);
    EXPECT_EQ(members.Items(0)->Login(), "ANN");
    EXPECT_EQ(members.IndexOf("Bob"), 1);
}

}  // namespace
