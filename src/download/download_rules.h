#pragma once

#include <cstdint>

#include "base/wide_string.h"

class CredentialStore;

// The download engine's own result codes. Everything else it returns is a
// Windows or WinINet error code exactly as the system gave it.
const uint32_t DLERR_NO_FILE_NAME = 0xE0000005;
const uint32_t DLERR_CANCELLED = 0xE0000008;
const uint32_t DLERR_INCOMPLETE = 0xE000000F;
const uint32_t DLERR_PARTIAL_TOO_LARGE = 0xE0000010;
const uint32_t DLERR_AUTH_REQUIRED = 0xE0000012;
const uint32_t DLERR_NOT_MODIFIED = 0xE0000013;
const uint32_t DLERR_FORBIDDEN = 0xE0000016;
const uint32_t DLERR_NOT_FOUND = 0xE0000018;

// WinINet's scheme numbers, as InternetCrackUrlW reports them.
const int32_t kSchemeFtp = 1;
const int32_t kSchemeGopher = 2;
const int32_t kSchemeHttp = 3;
const int32_t kSchemeHttps = 4;

// The WinINet codes the engine treats specially; the values are WinINet's.
const uint32_t kErrorInternetTimeout = 12002;
const uint32_t kErrorUnrecognizedScheme = 12006;
const uint32_t kErrorNameNotResolved = 12007;
const uint32_t kErrorIncorrectUserName = 12013;
const uint32_t kErrorIncorrectPassword = 12014;
const uint32_t kErrorLoginFailure = 12015;
const uint32_t kErrorCannotConnect = 12029;
const uint32_t kErrorConnectionAborted = 12030;
const uint32_t kErrorConnectionReset = 12031;
const uint32_t kErrorCertDateInvalid = 12037;
const uint32_t kErrorCertCnInvalid = 12038;
const uint32_t kErrorClientAuthCertNeeded = 12044;
const uint32_t kErrorInvalidCa = 12045;
const uint32_t kErrorDisconnected = 12163;

// A server that cannot be reached is tried again after a pause.
bool IsConnectRetried(uint32_t code);
// A transfer that broke off with one of these is picked up again over HTTP
// and HTTPS, where the server can continue at an offset.
bool IsBrokenTransfer(uint32_t code, int32_t scheme);
// Certificate problems the user may accept in WinINet's own dialog.
bool IsCertificateError(uint32_t code);
// An FTP server refused the user name or password.
bool IsFtpLoginError(uint32_t code);

// The request header that asks for the rest of a file from `offset` on;
// empty for offset 0.
WideString RangeHeader(uint32_t offset);

// What the engine does with an HTTP answer.
enum class HttpAnswerAction {
    Transfer,      // the body is the data; the offsets tell where it goes
    Authenticate,  // 401 or 407: credentials, then the same request again
    Fail,          // ends the transfer with `result`
};

struct HttpAnswerOutcome {
    HttpAnswerAction action;
    uint32_t result;  // for Fail; 0 otherwise
};

// Acts on an answer's status and Content-Length (0 when absent). The resume
// offset (what the partial file already holds) and the total (the size of
// the whole file, 0 when unknown) are updated as the answer implies:
// 200 starts the file over, 206 continues it, any other status's body is
// taken as the whole file.
HttpAnswerOutcome ActOnHttpStatus(uint32_t status, uint32_t contentLength, uint32_t& resumeOffset, uint32_t& total);

// Bounds the reconnects of a transfer whose server keeps breaking off, or
// keeps announcing more than it sends. A reconnect is always allowed when
// the partial file grew since the previous one; at most `kLimit` reconnects
// in a row may bring nothing new, and then the transfer is given up.
class ReconnectLimit {
public:
    static const int kLimit = 3;

    // Called before each reconnect with the partial file's size.
    bool Allow(uint64_t partialSize);

private:
    bool seen_ = false;
    uint64_t lastSize_ = 0;
    int idle_ = 0;
};

// Where a pair of credentials for a challenge comes from. The remembered
// pair is offered first. When it was what the server or proxy just refused
// (`rememberedRefused`), it is forgotten and the user is asked instead, so a
// wrong remembered pair can never make the engine resend it for ever.
// False without a store or when the user declines. `fromMemory` tells
// whether the pair is the remembered one (also when the user has just asked
// to remember it).
bool ChooseCredentials(CredentialStore* store, const WideString& url, const WideString& realm, bool rememberedRefused,
                       WideString& user, WideString& password, bool& fromMemory);
