#include "download/credentials.h"

#include "base/ascii_case.h"

WideString RealmFromChallengeText(const WideString& challenge) {
    const size_t space = challenge.find(L' ');
    if (space == WideString::npos || space + 1 >= challenge.size()) return WideString();
    size_t start = space + 1;
    while (start <= challenge.size()) {
        size_t end = challenge.find(L',', start);
        if (end == WideString::npos) end = challenge.size();
        // The "=" must follow the piece's first character.
        const size_t equals = end - start > 1 ? challenge.find(L'=', start + 1) : WideString::npos;
        const bool named = equals != WideString::npos && equals < end;
        if (named && EqualsIgnoringAsciiCase(WideView(challenge).substr(start, equals - start), L"realm")) {
            WideString realm = challenge.substr(equals + 1, end - equals - 1);
            if (!realm.empty() && realm.front() == L'"') realm.erase(0, 1);
            if (!realm.empty() && realm.back() == L'"') realm.pop_back();
            return realm;
        }
        if (end == challenge.size()) break;
        start = end + 1;
    }
    return WideString();
}

bool CredentialStore::GetRemembered(WideString& user, WideString& password) {
    if (rememberedUser_.empty()) return false;
    user = rememberedUser_;
    password = rememberedPassword_;
    return true;
}

void CredentialStore::Remember(const WideString& user, const WideString& password) {
    rememberedUser_ = user;
    rememberedPassword_ = password;
}

void CredentialStore::Forget() {
    rememberedUser_.clear();
    rememberedPassword_.clear();
}
