#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "LineBuffer.hpp"
#include "LoginDialogue.hpp"
#include "MemberStore.hpp"
#include "ReportBurst.hpp"
#include "RequestHandler.hpp"
#include "RequestLine.hpp"
#include "SampleMembers.hpp"
#include "util/untCalc1.hpp"

namespace {

std::vector<std::string> Drain(LineBuffer& buffer) {
    std::vector<std::string> lines;
    while (auto line = buffer.NextLine()) {
        lines.push_back(*line);
    }
    return lines;
}

TEST(LineBufferTest, CutsAtEveryKindOfLineEndAcrossReads) {
    struct Case {
        std::vector<std::string> reads;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {{"a\rb\nc\r\nd"}, {"a", "b", "c"}},
        {{"a\r", "\nb\r"}, {"a", "b"}},  // CR LF split between reads is one line end
        {{"a\n\rb\r"}, {"a", "", "b"}},  // LF CR ends two lines
        {{"ab", "c", "d\r"}, {"abcd"}},  // a line cut by the network is joined
        {{"\r\r"}, {"", ""}},
    };
    for (const Case& c : cases) {
        LineBuffer buffer(1024);
        std::vector<std::string> lines;
        for (const std::string& read : c.reads) {
            buffer.Append(read);
            for (std::string& line : Drain(buffer)) {
                lines.push_back(line);
            }
        }
        EXPECT_EQ(lines, c.lines) << c.reads.front();
    }
}

TEST(LineBufferTest, AnEndlessLineOverflowsButCompleteLinesDoNot) {
    LineBuffer buffer(16);
    buffer.Append(std::string(40, 'x') + "\r");
    EXPECT_EQ(Drain(buffer).size(), 1u);
    EXPECT_FALSE(buffer.Overflowed());
    buffer.Append(std::string(16, 'y'));
    EXPECT_FALSE(buffer.Overflowed());
    buffer.Append("y");
    EXPECT_TRUE(buffer.Overflowed());
}

TEST(RequestLineTest, CutsCodeSubjectAndPayload) {
    struct Case {
        std::string line, code, subject, payload;
    };
    const std::vector<Case> cases = {
        {"ADA_bob:pw,chat;b1", "ADA", "bob", "pw,chat;b1"},
        {"ACR_:5 , 6671 , 127.0.0.1", "ACR", "", "5 , 6671 , 127.0.0.1"},
        {"ADX_ bob :", "ADX", "bob", ""},
        {"ARLC", "ARLC", "", ""},
        {"ADE_my_bot:a:b", "ADE", "my_bot", "a:b"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        const RequestLine cut = CutRequestLine(c.line);
        EXPECT_EQ(cut.code, c.code) << c.line;
        EXPECT_EQ(cut.subject, c.subject) << c.line;
        EXPECT_EQ(cut.payload, c.payload) << c.line;
    }
}

TEST(RequestLineTest, ReadsAccountFieldsAndRefusesLoginsThatBreakMemberText) {
    const AccountFields full = ParseAccountFields(" pw , chat news ; b1,b2 ;extra");
    EXPECT_EQ(full.password, "pw");
    EXPECT_EQ(full.protocols, "chat news");
    EXPECT_EQ(full.userBots, "b1,b2");
    const AccountFields bare = ParseAccountFields("pw");
    EXPECT_EQ(bare.password, "pw");
    EXPECT_EQ(bare.protocols, "");
    EXPECT_EQ(bare.userBots, "");

    EXPECT_EQ(LoginProblem("bob"), "");
    EXPECT_NE(LoginProblem(""), "");
    EXPECT_NE(LoginProblem("a,b"), "");
    EXPECT_NE(LoginProblem("a=b"), "");
}

TEST(MemberTextTest, FillsPresenceOnlyWhileOnline) {
    Account account{"bob", "pw", "chat,news", "b1", 0, false, "127.0.0.1:5000"};
    EXPECT_EQ(MemberText(account), ",,bob=pw,chat,news;b1;");
    account.connections = 2;
    EXPECT_EQ(MemberText(account), "127.0.0.1:5000,2,bob=pw,chat,news;b1;");
    account.connections = 0;
    account.simulatedOnline = true;
    EXPECT_EQ(MemberText(account), "simulated,1,bob=pw,chat,news;b1;");
}

// Found through the login index: it must follow every account that a removal moves.
TEST(MemberStoreTest, FindsAndRemovesWithoutLetterCaseAndKeepsTheOrder) {
    MemberStore store;
    for (const char* login : {"ann", "Bob", "carol", "dave"}) {
        EXPECT_TRUE(store.Add(Account{login, "pw", "", "", 0, false, {}}));
    }
    EXPECT_FALSE(store.Add(Account{"BOB", "other", "", "", 0, false, {}}));
    ASSERT_NE(store.Find("bOB"), nullptr);
    EXPECT_EQ(store.Find("bob")->password, "pw");
    EXPECT_TRUE(store.Remove("ANN"));
    EXPECT_FALSE(store.Remove("ann"));
    EXPECT_EQ(store.Find("ann"), nullptr);
    ASSERT_NE(store.Find("DAVE"), nullptr);
    EXPECT_EQ(store.Find("dave")->login, "dave");
    EXPECT_EQ(store.Find("Carol")->login, "carol");
    EXPECT_TRUE(store.Add(Account{"Ann", "new", "", "", 0, false, {}}));
    std::vector<std::string> order;
    for (const Account& account : store.Accounts()) {
        order.push_back(account.login);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Bob", "carol", "dave", "Ann"}));
    EXPECT_EQ(store.Find("ann")->password, "new");
}

// Removals leave holes closed up later: whatever the mix of removals, additions and walks, the
// accounts are those left, in the order created, and each is found where it stands.
TEST(MemberStoreTest, RemovalsInAnyOrderKeepTheOrderCreated) {
    std::mt19937 random(25);
    for (int round = 0; round < 20; ++round) {
        MemberStore store;
        std::vector<std::string> expected;
        int serial = 0;
        for (int step = 0; step < 400; ++step) {
            const unsigned choice = random() % 10;
            if (choice < 4 || expected.empty()) {
                // Appended rather than concatenated, which g++ 12 at -O3 takes for an overlapping copy.
                std::string login(1, 'm');
                login.append(std::to_string(serial++));
                ASSERT_TRUE(store.Add(Account{login, login, "", "", 0, false, {}}));
                expected.push_back(login);
            } else if (choice < 8) {
                // Mostly from the front, as a bulk delete in list order goes.
                const size_t which = choice < 6 ? 0 : random() % expected.size();
                ASSERT_TRUE(store.Remove(expected[which]));
                ASSERT_FALSE(store.Remove(expected[which]));
                ASSERT_EQ(store.Find(expected[which]), nullptr);
                expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(which));
            } else if (choice == 8) {
                std::vector<std::string> order;
                for (const Account& account : store.Accounts()) {
                    order.push_back(account.login);
                }
                ASSERT_EQ(order, expected);
            }
            ASSERT_EQ(store.Count(), expected.size());
            for (const std::string& login : expected) {
                const Account* account = store.Find(login);
                ASSERT_NE(account, nullptr);
                ASSERT_EQ(account->password, login);
            }
        }
        std::vector<std::string> order;
        for (const Account& account : store.Accounts()) {
            order.push_back(account.login);
        }
        EXPECT_EQ(order, expected);
    }
}

TEST(LoginDialogueTest, GrantsOnlyAKnownLoginWithItsPassword) {
    MemberStore store;
    store.Add(Account{"Admin", "secret", "administrator", "", 0, false, ""});
    struct Case {
        std::string login, password;
        LoginDialogue::Outcome outcome;
    };
    const std::vector<Case> cases = {
        {"admin", "secret", LoginDialogue::Outcome::Granted},  // logins ignore ASCII case
        {"Admin", "Secret", LoginDialogue::Outcome::Refused},  // passwords do not
        {"nobody", "secret", LoginDialogue::Outcome::Refused},
        {"", "", LoginDialogue::Outcome::Refused},
    };
    for (const Case& c : cases) {
        LoginDialogue dialogue(store);
        const LoginDialogue::Reply prompt = dialogue.Take(c.login);
        EXPECT_EQ(prompt.lines, std::vector<std::string>{"send password:"});
        const LoginDialogue::Reply reply = dialogue.Take(c.password);
        EXPECT_EQ(reply.outcome, c.outcome) << c.login << "/" << c.password;
    }
    LoginDialogue dialogue(store);
    dialogue.Take("admin");
    EXPECT_EQ(dialogue.Take("secret").lines, (std::vector<std::string>{"protocols: administrator", ":)"}));
    EXPECT_EQ(dialogue.Login(), "Admin");
}

// Records what the handler does to the connections.
class FakeDirectory final : public SessionDirectory {
public:
    void SendLine(SessionId to, const std::string& line) override { sent[to].push_back(line); }
    void SendToAdministrators(const std::string& line) override { toAdministrators.push_back(line); }
    std::vector<SessionId> LoggedInSessions() const override {
        std::vector<SessionId> ids;
        for (const auto& [id, login] : logins) {
            ids.push_back(id);
        }
        return ids;
    }
    std::vector<SessionId> SessionsOf(std::string_view login) const override {
        std::vector<SessionId> ids;
        for (const auto& [id, owner] : logins) {
            if (SameTextAscii(owner, login)) {
                ids.push_back(id);
            }
        }
        return ids;
    }
    void CloseWithoutReport(SessionId session) override {
        closed.push_back(session);
        logins.erase(session);
    }

    std::map<SessionId, std::string> logins;
    std::map<SessionId, std::vector<std::string>> sent;
    std::vector<std::string> toAdministrators;
    std::vector<SessionId> closed;
};

class RequestHandlerTest : public ::testing::Test {
protected:
    RequestHandlerTest() {
        store.Add(Account{"admin", "admin", "administrator", "", 1, false, "a:1"});
        store.Add(Account{"bob", "pw", "chat", "b1", 2, false, "b:2"});
        store.Add(Account{"sim", "pw", "chat", "", 0, true, ""});
        sessions.logins = {{1, "admin"}, {2, "bob"}, {3, "BOB"}};
    }

    MemberStore store;
    FakeDirectory sessions;
    RequestHandler handler{store, sessions};
};

TEST_F(RequestHandlerTest, AddEditAndDeleteReportToAdministrators) {
    EXPECT_TRUE(handler.Handle(1, "ADA_carol:pw,chat news;x,y"));
    EXPECT_TRUE(handler.Handle(1, "ADE_CAROL:pw2,files;"));
    EXPECT_TRUE(handler.Handle(1, "ADD_carol:"));
    EXPECT_EQ(sessions.toAdministrators, (std::vector<std::string>{"ARA:,,carol=pw,chat news;x,y;",
                                                                   "ARM:,,carol=pw2,files;;", "ARD_carol:"}));
    EXPECT_EQ(store.Find("carol"), nullptr);
}

TEST_F(RequestHandlerTest, RefusalsGoToTheRequesterAloneAndChangeNothing) {
    const std::vector<std::string> refused = {"ADA_Bob:x,chat;", "ADA_a=b:x,chat;", "ADA_:x,chat;",
                                              "ADE_nobody:x;", "ADD_nobody:"};
    for (const std::string& line : refused) {
        handler.Handle(1, line);
    }
    EXPECT_TRUE(sessions.toAdministrators.empty());
    ASSERT_EQ(sessions.sent[1].size(), refused.size());
    for (const std::string& line : sessions.sent[1]) {
        EXPECT_EQ(line.rfind("ARE_", 0), 0u) << line;
    }
    EXPECT_EQ(store.Count(), 3u);
    EXPECT_EQ(store.Find("bob")->password, "pw");
}

TEST_F(RequestHandlerTest, ExpelClosesEveryConnectionOfTheLoginAndReportsOnce) {
    handler.Handle(1, "ADX_bob:");
    EXPECT_EQ(sessions.closed, (std::vector<SessionId>{2, 3}));
    ASSERT_EQ(sessions.toAdministrators.size(), 1u);
    EXPECT_EQ(sessions.toAdministrators[0].rfind("ARO:", 0), 0u);
}

TEST_F(RequestHandlerTest, ConnectionControlReachesTheAddressedConnections) {
    struct Case {
        std::string request;
        std::map<SessionId, std::vector<std::string>> sent;
    };
    const std::vector<Case> cases = {
        {"AEC_bob:", {{2, {"SRC"}}, {3, {"SRC"}}}},
        {"AEC_:", {{1, {"SRC"}}, {2, {"SRC"}}, {3, {"SRC"}}}},
        {"AEX_:", {{2, {"SRC"}}, {3, {"SRC"}}}},
        {"ACR_bob:5 , 6671 , h", {{2, {"SRE:5 , 6671 , h"}}, {3, {"SRE:5 , 6671 , h"}}}},
        {"ACR_:5 , 1 , h", {{1, {"SRE:5 , 1 , h"}}, {2, {"SRE:5 , 1 , h"}}, {3, {"SRE:5 , 1 , h"}}}},
        {"ACX_:5 , 1 , h", {{2, {"SRE:5 , 1 , h"}}, {3, {"SRE:5 , 1 , h"}}}},
    };
    for (const Case& c : cases) {
        sessions.sent.clear();
        EXPECT_TRUE(handler.Handle(1, c.request));
        EXPECT_EQ(sessions.sent, c.sent) << c.request;
    }
}

TEST_F(RequestHandlerTest, ASimulatedMemberAskedToLeaveGoesOffline) {
    handler.Handle(1, "AEC_sim:");
    EXPECT_FALSE(IsOnline(*store.Find("sim")));
    EXPECT_EQ(sessions.toAdministrators, std::vector<std::string>{"ARO:,,sim=pw,chat;;"});
}

TEST_F(RequestHandlerTest, UnknownAndMalformedLinesAreNotRequests) {
    for (const char* line : {"", "adA_bob:", "XYZ_bob:", ":::", "_:", "\xff\x01"}) {
        EXPECT_FALSE(handler.Handle(1, line)) << line;
    }
    EXPECT_TRUE(sessions.toAdministrators.empty());
    EXPECT_TRUE(sessions.sent.empty());
}

TEST(SampleMembersTest, SameSeedSameMembersAndEveryLoginUnique) {
    const std::vector<Account> first = GenerateSampleMembers(5000, 7);
    const std::vector<Account> again = GenerateSampleMembers(5000, 7);
    ASSERT_EQ(first.size(), 5000u);
    std::set<std::string> folded;
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(MemberText(first[i]), MemberText(again[i]));
        EXPECT_EQ(LoginProblem(first[i].login), "");
        EXPECT_FALSE(first[i].protocols.empty());
        folded.insert(FoldAscii(first[i].login));
    }
    EXPECT_EQ(folded.size(), first.size());
    EXPECT_NE(MemberText(GenerateSampleMembers(1, 8)[0]), MemberText(first[0]));
}

// A store of an administrator (connected), a sample member with a real connection, and four
// offline sample members.
MemberStore BurstStore() {
    MemberStore store;
    store.Add({"admin", "pw", "administrator", {}, 1, false, {}});
    store.Add({"busy", "pw", "chat", {}, 1, false, {}});
    for (const char* login : {"m1", "m2", "m3", "m4"}) {
        store.Add({login, "pw", "chat", "echo", 0, false, {}});
    }
    return store;
}

TEST(ReportBurstTest, EachReportIsTrueToTheStoreAndSparesConnectedAccounts) {
    struct Step {
        std::string code;
        int count;
        std::vector<std::string> lines;
    };
    const std::vector<Step> steps = {
        {"ARI",
         3,
         {"ARI:simulated,1,m1=pw,chat;echo;", "ARI:simulated,1,m2=pw,chat;echo;",
          "ARI:simulated,1,m3=pw,chat;echo;"}},
        {"ARI", 5, {"ARI:simulated,1,m4=pw,chat;echo;"}},  // fewer qualify than asked for
        {"ARO", 2, {"ARO:,,m1=pw,chat;echo;", "ARO:,,m2=pw,chat;echo;"}},
        {"ARM",
         3,
         {"ARM:simulated,1,m1=pw,chat;echo;", "ARM:simulated,1,m2=pw,chat;echo;", "ARM:,,m3=pw,chat;echo;"}},
        {"ARA", 2, {"ARA:,,burst7=burst,chat;echo;", "ARA:,,burst8=burst,chat;echo;"}},
        {"ARD", 3, {"ARD_burst8:", "ARD_burst7:", "ARD_m4:"}},
        {"ARX", 3, {}},
        {"ARI", 0, {}},
        {"ARD", -1, {}},
    };
    MemberStore store = BurstStore();
    for (const Step& step : steps) {
        EXPECT_EQ(MakeReportBurst(store, step.code, step.count), step.lines) << step.code << step.count;
    }
    std::vector<std::string> left;
    for (const Account& account : store.Accounts()) {
        left.push_back(MemberText(account));
    }
    const std::vector<std::string> expected = {",1,admin=pw,administrator;;", ",1,busy=pw,chat;;",
                                               "simulated,1,m1=pw,chat;echo;", "simulated,1,m2=pw,chat;echo;",
                                               ",,m3=pw,chat;echo;"};
    EXPECT_EQ(left, expected);
}

TEST(ReportBurstTest, AddedLoginsSkipTakenOnesAndRemovedOnesCanComeBack) {
    MemberStore store = BurstStore();
    ASSERT_TRUE(store.Add({"BURST8", "pw", "chat", {}, 0, false, {}}));  // the next serial, taken
    EXPECT_EQ(MakeReportBurst(store, "ARA", 1), std::vector<std::string>{"ARA:,,burst9=burst,chat;echo;"});
    EXPECT_FALSE(store.Add({"Burst9", "pw", "chat", {}, 0, false, {}}));
    EXPECT_EQ(MakeReportBurst(store, "ARD", 1), std::vector<std::string>{"ARD_burst9:"});
    EXPECT_EQ(store.Find("burst9"), nullptr);
    EXPECT_TRUE(store.Add({"Burst9", "pw", "chat", {}, 0, false, {}}));
}

}  // namespace
