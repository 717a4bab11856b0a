#pragma once

#include "base/wide_string.h"

// The realm named by an authentication challenge header such as
// `Basic realm="Files"`: the text after the scheme, cut at every ",", the
// first piece whose name before "=" is "realm" in any case, without one
// leading and one trailing quotation mark. Empty when there is none.
WideString RealmFromChallengeText(const WideString& challenge);

// User names and passwords for servers and proxies. What the user asked to
// remember lives in this object only: never in a file, the registry or the
// log, and it is gone with the process.
class CredentialStore {
public:
    virtual ~CredentialStore() = default;

    virtual void BeginRequest() {}
    // The remembered pair, when there is one.
    virtual bool GetRemembered(WideString& user, WideString& password);
    virtual void CredentialsApplied() {}
    // Asks the user for a pair for `url` and `realm`; false when refused.
    virtual bool AskUser(const WideString& url, const WideString& realm, WideString& user, WideString& password) = 0;

    // Keeps a pair the user asked to remember, replacing an earlier one.
    void Remember(const WideString& user, const WideString& password);
    // Drops the remembered pair, as when a server has just refused it.
    void Forget();

private:
    WideString rememberedUser_;
    WideString rememberedPassword_;
};
