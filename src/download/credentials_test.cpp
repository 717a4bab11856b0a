#include "download/credentials.h"

#include "test/doctest_main.h"

TEST_CASE("RealmFromChallengeText") {
    struct Case { const wchar_t* challenge; const wchar_t* realm; };
    const Case cases[] = {
        {L"Basic realm=\"Files\"", L"Files"},
        {L"Basic REALM=Files", L"Files"},
        {L"Basic Realm=\"Files", L"Files"},           // only a leading quotation mark
        {L"Basic realm=Files\"", L"Files"},
        {L"Basic realm=\"\"", L""},
        {L"Basic realm=\"", L""},
        // A blank after the comma belongs to the next piece's name.
        {L"Digest qop=\"auth\", realm=\"Files\"", L""},
        {L"Digest qop=\"auth\",realm=\"Files\"", L"Files"},
        // The piece ends at the comma, even inside quotation marks.
        {L"Basic realm=\"a, b\"", L"a"},
        {L"Basic charset=UTF-8,realm=x", L"x"},
        {L"Basic realm=one,realm=two", L"one"},
        {L"Basic realm", L""},
        {L"Basic =realm", L""},                      // "=" must follow the first character
        {L"Basic realmx=1", L""},
        {L"Basic", L""},
        {L"Basic ", L""},
        {L"", L""},
        {L" realm=x", L"x"},                         // an empty scheme name
        {L"Basic ,,,realm=y", L"y"},
        {L"Basic realm=a=b", L"a=b"},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.challenge));
        CHECK(RealmFromChallengeText(c.challenge) == c.realm);
    }
}

namespace {

struct AskingStore : CredentialStore {
    int asked = 0;
    bool AskUser(const WideString&, const WideString&, WideString& user, WideString& password) override {
        ++asked;
        user = L"u";
        password = L"p";
        return true;
    }
};

}  // namespace

TEST_CASE("CredentialStore remembers one pair, the last one kept") {
    AskingStore store;
    WideString user = L"untouched", password = L"untouched";
    CHECK_FALSE(store.GetRemembered(user, password));
    CHECK(user == L"untouched");
    store.Remember(L"alice", L"secret");
    REQUIRE(store.GetRemembered(user, password));
    CHECK(user == L"alice");
    CHECK(password == L"secret");
    store.Remember(L"bob", L"");
    REQUIRE(store.GetRemembered(user, password));
    CHECK(user == L"bob");
    CHECK(password.empty());
    // A pair without a user name is no pair.
    store.Remember(L"", L"x");
    CHECK_FALSE(store.GetRemembered(user, password));
}
