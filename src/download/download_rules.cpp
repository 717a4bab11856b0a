#include "download/download_rules.h"

#include "base/number_text.h"
#include "download/credentials.h"

bool IsConnectRetried(uint32_t code) { return code == kErrorCannotConnect || code == kErrorNameNotResolved; }

bool IsBrokenTransfer(uint32_t code, int32_t scheme) {
    if (scheme != kSchemeHttp && scheme != kSchemeHttps) return false;
    return code == kErrorInternetTimeout || code == kErrorConnectionAborted || code == kErrorConnectionReset ||
           code == kErrorDisconnected;
}

bool IsCertificateError(uint32_t code) {
    return code == kErrorCertDateInvalid || code == kErrorCertCnInvalid || code == kErrorClientAuthCertNeeded ||
           code == kErrorInvalidCa;
}

bool IsFtpLoginError(uint32_t code) {
    return code == kErrorIncorrectUserName || code == kErrorIncorrectPassword || code == kErrorLoginFailure;
}

WideString RangeHeader(uint32_t offset) {
    if (offset == 0) return WideString();
    return L"Range: bytes=" + UnsignedText(offset) + L"-\r\n";
}

HttpAnswerOutcome ActOnHttpStatus(uint32_t status, uint32_t contentLength, uint32_t& resumeOffset, uint32_t& total) {
    switch (status) {
    case 200:
        total = contentLength;
        // The whole file again, although the partial file already holds at
        // least that much: starting over could not end any better.
        if (contentLength > 0 && resumeOffset >= contentLength) {
            return {HttpAnswerAction::Fail, DLERR_PARTIAL_TOO_LARGE};
        }
        resumeOffset = 0;
        return {HttpAnswerAction::Transfer, 0};
    case 206:
        // The data starts at the offset the request named, with or without
        // a length: without one the size of the whole file is unknown, but
        // writing the rest of the file from its start would corrupt it.
        total = contentLength == 0 ? 0 : resumeOffset + contentLength;
        return {HttpAnswerAction::Transfer, 0};
    case 304:
        return {HttpAnswerAction::Fail, DLERR_NOT_MODIFIED};
    case 401:
    case 407:
        total = 0;
        return {HttpAnswerAction::Authenticate, DLERR_AUTH_REQUIRED};
    case 403:
        resumeOffset = 0;
        total = 0;
        return {HttpAnswerAction::Fail, DLERR_FORBIDDEN};
    case 404:
    case 410:
        resumeOffset = 0;
        total = 0;
        return {HttpAnswerAction::Fail, DLERR_NOT_FOUND};
    default:
        resumeOffset = 0;
        total = contentLength;
        return {HttpAnswerAction::Transfer, 0};
    }
}

bool ReconnectLimit::Allow(uint64_t partialSize) {
    if (seen_ && partialSize <= lastSize_) {
        if (++idle_ >= kLimit) return false;
    } else {
        idle_ = 0;
    }
    seen_ = true;
    lastSize_ = partialSize;
    return true;
}

bool ChooseCredentials(CredentialStore* store, const WideString& url, const WideString& realm, bool rememberedRefused,
                       WideString& user, WideString& password, bool& fromMemory) {
    fromMemory = false;
    if (store == nullptr) return false;
    if (rememberedRefused) store->Forget();
    if (store->GetRemembered(user, password)) {
        fromMemory = true;
        return true;
    }
    user.clear();
    password.clear();
    if (!store->AskUser(url, realm, user, password)) return false;
    // A pair the user has just asked to remember is the remembered pair
    // from now on: refused, it is not offered again without asking.
    WideString rememberedUser, rememberedPassword;
    fromMemory = store->GetRemembered(rememberedUser, rememberedPassword) && rememberedUser == user &&
                 rememberedPassword == password;
    return true;
}
