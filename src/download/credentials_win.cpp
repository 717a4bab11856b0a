#include "download/credentials_win.h"

#include <vector>

#include "base/format_text.h"
#include "base/string_table_win.h"
#include "download/download_rules.h"
#include "download/url_win.h"
#include "resources/resource.h"
#include "ui/centre_window_win.h"

namespace {

// Reads a header's whole text: 260 bytes first, then the size WinINet asks for.
bool QueryHeaderText(HINTERNET request, DWORD query, WideString& text) {
    std::vector<wchar_t> buffer(260 / sizeof(wchar_t));
    DWORD bytes = 260;
    if (!::HttpQueryInfoW(request, query, buffer.data(), &bytes, nullptr)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        buffer.assign((bytes + 2) / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (!::HttpQueryInfoW(request, query, buffer.data(), &bytes, nullptr)) return false;
    }
    size_t length = bytes / sizeof(wchar_t);
    if (length > buffer.size()) length = buffer.size();
    size_t end = 0;
    while (end < length && buffer[end] != L'\0') ++end;
    text.assign(buffer.data(), end);
    return true;
}

WideString WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) return WideString();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int copied = ::GetWindowTextW(window, buffer.data(), length + 1);
    return WideString(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

// The controls that follow the dialog's size, and how.
const int kWidening[] = {IDC_CREDENTIALS_MESSAGE, IDC_CREDENTIALS_USER, IDC_CREDENTIALS_PASSWORD,
                         IDC_CREDENTIALS_REMEMBER};
const int kAnchoredBottomRight[] = {IDOK, IDCANCEL, IDC_CREDENTIALS_GRIP};
const int kLaidOut = 7;

struct DialogState {
    CredentialsDialogData* data;
    SIZE minimumWindow;
    SIZE initialClient;
    RECT initial[kLaidOut];  // client coordinates at opening, in the order above
};

HWND Control(HWND dialog, int index) {
    const int id = index < 4 ? kWidening[index] : kAnchoredBottomRight[index - 4];
    return ::GetDlgItem(dialog, id);
}

void RecordLayout(HWND dialog, DialogState& state) {
    RECT window, client;
    ::GetWindowRect(dialog, &window);
    ::GetClientRect(dialog, &client);
    state.minimumWindow = {window.right - window.left, window.bottom - window.top};
    state.initialClient = {client.right, client.bottom};

    // A size grip in the bottom-right corner, sized by the system.
    const int gripWidth = ::GetSystemMetrics(SM_CXVSCROLL);
    const int gripHeight = ::GetSystemMetrics(SM_CYHSCROLL);
    ::CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | SBS_SIZEGRIP, client.right - gripWidth,
                      client.bottom - gripHeight, gripWidth, gripHeight, dialog,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CREDENTIALS_GRIP)), nullptr, nullptr);
    for (int i = 0; i < kLaidOut; ++i) {
        RECT& r = state.initial[i];
        ::SetRectEmpty(&r);
        const HWND control = Control(dialog, i);
        if (!control) continue;
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    }
}

void ApplyLayout(HWND dialog, const DialogState& state, int width, int height) {
    const int dx = width - state.initialClient.cx;
    const int dy = height - state.initialClient.cy;
    for (int i = 0; i < kLaidOut; ++i) {
        const HWND control = Control(dialog, i);
        if (!control) continue;
        const RECT& r = state.initial[i];
        if (i < 4) {
            ::SetWindowPos(control, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            ::SetWindowPos(control, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    ::InvalidateRect(dialog, nullptr, TRUE);
}

INT_PTR CALLBACK CredentialsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogState* state = reinterpret_cast<DialogState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        state = reinterpret_cast<DialogState*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        const CredentialsDialogData& data = *state->data;
        ::SetWindowTextW(dialog, FormatText(LoadStringText(IDS_CONNECT_TO), data.Host).c_str());
        ::SetDlgItemTextW(dialog, IDC_CREDENTIALS_MESSAGE,
                          FormatText(LoadStringText(IDS_SERVER_REQUIRES), data.Host, data.Realm).c_str());
        CentreWindow(dialog);
        RecordLayout(dialog, *state);
        return TRUE;
    }
    case WM_COMMAND:
        if (!state) break;
        if (LOWORD(wParam) == IDOK) {
            state->data->User = WindowText(::GetDlgItem(dialog, IDC_CREDENTIALS_USER));
            state->data->Password = WindowText(::GetDlgItem(dialog, IDC_CREDENTIALS_PASSWORD));
            state->data->Remember =
                ::SendDlgItemMessageW(dialog, IDC_CREDENTIALS_REMEMBER, BM_GETCHECK, 0, 0) == BST_CHECKED;
            ::EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    case WM_SIZE:
        if (state) ApplyLayout(dialog, *state, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_GETMINMAXINFO:
        if (state && state->minimumWindow.cx > 0) {
            MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = state->minimumWindow.cx;
            info->ptMinTrackSize.y = state->minimumWindow.cy;
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

}  // namespace

WideString RealmFromChallenge(HINTERNET request, uint32_t status) {
    if (status != 401 && status != 407) return WideString();
    WideString challenge;
    if (!QueryHeaderText(request, status == 401 ? HTTP_QUERY_WWW_AUTHENTICATE : HTTP_QUERY_PROXY_AUTHENTICATE,
                         challenge)) {
        return WideString();
    }
    return RealmFromChallengeText(challenge);
}

bool GetCredentials(CredentialStore* store, const WideString& url, HINTERNET handle, const WideString& realm,
                    bool proxy, bool rememberedRefused, WideString& user, WideString& password, bool& fromMemory) {
    if (!ChooseCredentials(store, url, realm, rememberedRefused, user, password, fromMemory)) return false;
    ::InternetSetOptionW(handle, proxy ? INTERNET_OPTION_PROXY_USERNAME : INTERNET_OPTION_USERNAME,
                         const_cast<wchar_t*>(user.c_str()), static_cast<DWORD>(user.size()));
    ::InternetSetOptionW(handle, proxy ? INTERNET_OPTION_PROXY_PASSWORD : INTERNET_OPTION_PASSWORD,
                         const_cast<wchar_t*>(password.c_str()), static_cast<DWORD>(password.size()));
    store->CredentialsApplied();
    return true;
}

INT_PTR ShowCredentialsDialog(HWND parent, CredentialsDialogData& data) {
    DialogState state = {};
    state.data = &data;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CREDENTIALS), parent,
                             CredentialsDialogProc, reinterpret_cast<LPARAM>(&state));
}

bool DialogCredentialStore::AskUser(const WideString& url, const WideString& realm, WideString& user,
                                    WideString& password) {
    HWND parent = ::GetActiveWindow();
    if (!parent) parent = ::GetForegroundWindow();
    CredentialsDialogData data;
    data.Host = HostFromUrl(url);
    data.Realm = realm;
    if (ShowCredentialsDialog(parent, data) != IDOK) return false;
    user = data.User;
    password = data.Password;
    if (data.Remember) Remember(user, password);
    return true;
}
