#include "download/download_rules.h"

#include "download/credentials.h"
#include <vector>

#include "test/doctest_main.h"

TEST_CASE("HTTP answers decide where the data goes and how large the file is") {
    struct Case {
        uint32_t status, contentLength, offsetBefore;
        HttpAnswerAction action;
        uint32_t result, offsetAfter, totalAfter;
    };
    const uint32_t kStale = 77;  // the total before the answer; never kept
    const Case cases[] = {
        {200, 5000, 0, HttpAnswerAction::Transfer, 0, 0, 5000},
        // The server ignored the range: the file starts over.
        {200, 5000, 1000, HttpAnswerAction::Transfer, 0, 0, 5000},
        {200, 1000, 1000, HttpAnswerAction::Fail, DLERR_PARTIAL_TOO_LARGE, 1000, 1000},
        {200, 999, 1000, HttpAnswerAction::Fail, DLERR_PARTIAL_TOO_LARGE, 1000, 999},
        // No length: nothing to compare, the file starts over.
        {200, 0, 1000, HttpAnswerAction::Transfer, 0, 0, 0},
        {206, 4000, 1000, HttpAnswerAction::Transfer, 0, 1000, 5000},
        // No length (chunked): the rest still follows the partial file.
        {206, 0, 1000, HttpAnswerAction::Transfer, 0, 1000, 0},
        {304, 10, 1000, HttpAnswerAction::Fail, DLERR_NOT_MODIFIED, 1000, kStale},
        {401, 10, 1000, HttpAnswerAction::Authenticate, DLERR_AUTH_REQUIRED, 1000, 0},
        {407, 10, 0, HttpAnswerAction::Authenticate, DLERR_AUTH_REQUIRED, 0, 0},
        {403, 10, 1000, HttpAnswerAction::Fail, DLERR_FORBIDDEN, 0, 0},
        {404, 10, 1000, HttpAnswerAction::Fail, DLERR_NOT_FOUND, 0, 0},
        {410, 10, 1000, HttpAnswerAction::Fail, DLERR_NOT_FOUND, 0, 0},
        // Any other status: its body is the file, from the start.
        {500, 300, 1000, HttpAnswerAction::Transfer, 0, 0, 300},
        {416, 20, 5000, HttpAnswerAction::Transfer, 0, 0, 20},
        {302, 0, 0, HttpAnswerAction::Transfer, 0, 0, 0},
        {0, 0, 0, HttpAnswerAction::Transfer, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(c.status);
        CAPTURE(c.offsetBefore);
        uint32_t offset = c.offsetBefore;
        uint32_t total = kStale;
        const HttpAnswerOutcome outcome = ActOnHttpStatus(c.status, c.contentLength, offset, total);
        CHECK(outcome.action == c.action);
        CHECK(outcome.result == c.result);
        CHECK(offset == c.offsetAfter);
        CHECK(total == c.totalAfter);
    }
}

TEST_CASE("the Range header and the codes that are retried or picked up") {
    CHECK(RangeHeader(0).empty());
    CHECK(RangeHeader(1000) == L"Range: bytes=1000-\r\n");
    CHECK(RangeHeader(0xFFFFFFFFu) == L"Range: bytes=4294967295-\r\n");

    CHECK(IsConnectRetried(12029));
    CHECK(IsConnectRetried(12007));
    CHECK_FALSE(IsConnectRetried(12002));
    CHECK_FALSE(IsConnectRetried(0));

    for (uint32_t code : {12002u, 12030u, 12031u, 12163u}) {
        CAPTURE(code);
        CHECK(IsBrokenTransfer(code, kSchemeHttp));
        CHECK(IsBrokenTransfer(code, kSchemeHttps));
        CHECK_FALSE(IsBrokenTransfer(code, kSchemeFtp));
    }
    CHECK_FALSE(IsBrokenTransfer(12029, kSchemeHttp));
    CHECK_FALSE(IsBrokenTransfer(112, kSchemeHttp));  // a full disk is no network fault

    for (uint32_t code : {12037u, 12038u, 12044u, 12045u}) CHECK(IsCertificateError(code));
    CHECK_FALSE(IsCertificateError(12057));
    for (uint32_t code : {12013u, 12014u, 12015u}) CHECK(IsFtpLoginError(code));
    CHECK_FALSE(IsFtpLoginError(12029));
}

TEST_CASE("reconnects are bounded only when they bring nothing new") {
    SUBCASE("a server that sends a little more each time is followed") {
        ReconnectLimit limit;
        for (uint64_t size = 0; size < 100 * 1000; size += 1000) REQUIRE(limit.Allow(size));
    }
    SUBCASE("a server that sends nothing more is given up after the limit") {
        ReconnectLimit limit;
        // The first reconnect follows data; the next ones follow reconnects
        // that brought nothing.
        for (int i = 0; i < ReconnectLimit::kLimit; ++i) CHECK(limit.Allow(500));
        CHECK_FALSE(limit.Allow(500));
        CHECK_FALSE(limit.Allow(500));
    }
    SUBCASE("progress in between starts the count again") {
        ReconnectLimit limit;
        for (int i = 0; i < ReconnectLimit::kLimit; ++i) CHECK(limit.Allow(500));
        CHECK(limit.Allow(501));
        for (int i = 1; i < ReconnectLimit::kLimit; ++i) CHECK(limit.Allow(501));
        CHECK_FALSE(limit.Allow(501));
    }
    SUBCASE("an empty partial file that stays empty") {
        ReconnectLimit limit;
        for (int i = 0; i < ReconnectLimit::kLimit; ++i) CHECK(limit.Allow(0));
        CHECK_FALSE(limit.Allow(0));
    }
}

namespace {

// Answers AskUser from a script and records what it was asked.
struct ScriptedStore : CredentialStore {
    struct Answer {
        bool give;
        const wchar_t* user;
        const wchar_t* password;
        bool remember;
    };
    std::vector<Answer> answers;
    size_t next = 0;
    std::vector<WideString> realms;

    bool AskUser(const WideString&, const WideString& realm, WideString& user, WideString& password) override {
        realms.push_back(realm);
        CHECK(user.empty());  // the dialog always opens with empty fields
        if (next >= answers.size() || !answers[next].give) {
            ++next;
            return false;
        }
        const Answer& a = answers[next++];
        user = a.user;
        password = a.password;
        if (a.remember) Remember(user, password);
        return true;
    }
};

}  // namespace

TEST_CASE("credentials come from memory first, and a refused remembered pair is asked for again") {
    WideString user = L"stale", password = L"stale";
    bool fromMemory = true;

    SUBCASE("no store: no credentials") {
        CHECK_FALSE(ChooseCredentials(nullptr, L"http://h/", L"r", false, user, password, fromMemory));
        CHECK_FALSE(fromMemory);
    }
    SUBCASE("asked, not remembered: the next challenge asks again") {
        ScriptedStore store;
        store.answers = {{true, L"alice", L"pw1", false}, {true, L"alice", L"pw2", false}};
        REQUIRE(ChooseCredentials(&store, L"http://h/", L"Files", false, user, password, fromMemory));
        CHECK(user == L"alice");
        CHECK(password == L"pw1");
        CHECK_FALSE(fromMemory);
        REQUIRE(ChooseCredentials(&store, L"http://h/", L"Files", false, user, password, fromMemory));
        CHECK(password == L"pw2");
        CHECK(store.realms.size() == 2);
    }
    SUBCASE("remembered: later challenges, for servers and proxies alike, get the pair without asking") {
        ScriptedStore store;
        store.answers = {{true, L"bob", L"pw", true}};
        REQUIRE(ChooseCredentials(&store, L"http://h/", L"Proxy", false, user, password, fromMemory));
        // Remembered from now on: refused, it would not be offered again.
        CHECK(fromMemory);
        for (int i = 0; i < 3; ++i) {
            REQUIRE(ChooseCredentials(&store, L"http://other/", L"Files", false, user, password, fromMemory));
            CHECK(fromMemory);
            CHECK(user == L"bob");
        }
        CHECK(store.realms.size() == 1);
    }
    SUBCASE("a remembered pair the server refused is forgotten and the user asked") {
        ScriptedStore store;
        store.Remember(L"bob", L"wrong");
        store.answers = {{false, nullptr, nullptr, false}};
        CHECK_FALSE(ChooseCredentials(&store, L"http://h/", L"Files", true, user, password, fromMemory));
        CHECK(store.realms.size() == 1);
        CHECK_FALSE(store.GetRemembered(user, password));
    }
    SUBCASE("the user cancels") {
        ScriptedStore store;
        store.answers = {{false, nullptr, nullptr, false}};
        CHECK_FALSE(ChooseCredentials(&store, L"ftp://h/", L"FTP Server", false, user, password, fromMemory));
        CHECK(store.realms == std::vector<WideString>{L"FTP Server"});
    }
}
