#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>

#include "base/wide_string.h"
#include "download/credentials.h"

// The realm of the challenge in a 401 (server) or 407 (proxy) answer; empty
// for other statuses or when the header cannot be read.
WideString RealmFromChallenge(HINTERNET request, uint32_t status);

// Obtains a pair for `url` and `realm` (see ChooseCredentials) and sets it
// on `handle` as the server's or, with `proxy`, the proxy's user name and
// password. False when there is none to set.
bool GetCredentials(CredentialStore* store, const WideString& url, HINTERNET handle, const WideString& realm,
                    bool proxy, bool rememberedRefused, WideString& user, WideString& password, bool& fromMemory);

// What the credentials dialog was given and what the user typed.
struct CredentialsDialogData {
    WideString Host;
    WideString Realm;
    WideString User;
    WideString Password;
    bool Remember = false;
};

// Shows the modal credentials dialog over `parent`: IDOK with the typed
// texts, anything else when refused or when it could not be shown.
INT_PTR ShowCredentialsDialog(HWND parent, CredentialsDialogData& data);

// The process's store: asks with the credentials dialog over the active
// window, and keeps a pair the user asked to remember.
class DialogCredentialStore : public CredentialStore {
public:
    bool AskUser(const WideString& url, const WideString& realm, WideString& user, WideString& password) override;
};
