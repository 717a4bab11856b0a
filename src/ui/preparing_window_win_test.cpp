#include "ui/preparing_window_win.h"

#include <windows.h>

#include <string>

#include "app/chainer_app_win.h"
#include "resources/resource.h"
#include "test/doctest_main.h"
#include "test/temp_folder_win.h"
#include "version.h"

namespace {

const UINT kPosted = WM_APP + 1;
const UINT kSent = WM_APP + 2;

struct PumpProbe {
    HWND window = nullptr;
    DWORD callerThread = 0;
    int toPost = 0;
    int received = 0;  // touched only by the caller's thread, in the window procedure
    HANDLE allReceived = nullptr;
    DWORD jobThread = 0;
    bool allReceivedWhileRunning = false;
    bool sendAnswered = false;
    DWORD_PTR sendAnswer = 0;
    volatile LONG finished = 0;
};

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PumpProbe* probe = reinterpret_cast<PumpProbe*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (probe && message == kPosted) {
        if (++probe->received == probe->toPost) ::SetEvent(probe->allReceived);
        return 0;
    }
    // Answers which thread served the message.
    if (probe && message == kSent) return ::GetCurrentThreadId() == probe->callerThread ? 1 : 2;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A window of the calling thread that needs no display: message-only.
HWND CreateProbeWindow(PumpProbe* probe) {
    static const wchar_t kClass[] = L"ChainerPumpProbe";
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ProbeWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
    HWND window = ::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(probe));
    return window;
}

void ProbeJob(void* context) {
    PumpProbe* probe = static_cast<PumpProbe*>(context);
    probe->jobThread = ::GetCurrentThreadId();
    for (int i = 0; i < probe->toPost; ++i) ::PostMessageW(probe->window, kPosted, 0, 0);
    // Only a caller that serves its queue while the job runs lets this wait end.
    probe->allReceivedWhileRunning = ::WaitForSingleObject(probe->allReceived, 10000) == WAIT_OBJECT_0;
    // A message sent from another thread (as the window system does when a
    // window is dragged) must be served too, or the sender would hang.
    probe->sendAnswered =
        ::SendMessageTimeoutW(probe->window, kSent, 0, 0, SMTO_NORMAL, 10000, &probe->sendAnswer) != 0;
    ::Sleep(200);
    ::InterlockedExchange(&probe->finished, 1);
}

void WriteResource(int id, const WideString& path) {
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    REQUIRE(found != nullptr);
    const void* data = ::LockResource(::LoadResource(nullptr, found));
    REQUIRE(data != nullptr);
    TempFolder::WriteFile(path, std::string(static_cast<const char*>(data), ::SizeofResource(nullptr, found)));
}

WideString OwnPath() {
    wchar_t path[MAX_PATH];
    return WideString(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
}

}  // namespace

TEST_CASE("RunWithMessagePump runs the job on another thread and serves the caller's messages meanwhile") {
    // One message, and a burst: a pump that served one message per wake-up
    // would leave most of the burst waiting for input that never comes.
    for (int toPost : {1, 500}) {
        INFO("messages posted: ", toPost);
        PumpProbe probe;
        probe.callerThread = ::GetCurrentThreadId();
        probe.toPost = toPost;
        probe.allReceived = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        probe.window = CreateProbeWindow(&probe);
        REQUIRE(probe.window != nullptr);

        RunWithMessagePump(ProbeJob, &probe);

        CHECK(probe.finished == 1);  // returned only after the job had ended
        CHECK(probe.jobThread != 0);
        CHECK(probe.jobThread != probe.callerThread);
        CHECK(probe.allReceivedWhileRunning);
        CHECK(probe.received == toPost);
        CHECK(probe.sendAnswered);
        CHECK(probe.sendAnswer == 1);
        ::DestroyWindow(probe.window);
        ::CloseHandle(probe.allReceived);
    }
}

TEST_CASE("SetupTitle: the product name of the version resource, else the path") {
    // The test program carries these files as resources 5001 to 5003.
    TempFolder dir;
    WriteResource(5001, dir / L"version_default.dll");
    WriteResource(5002, dir / L"version_translations.dll");
    WriteResource(5003, dir / L"version_empty.dll");
    const WideString plainFile = dir / L"plain.exe";
    TempFolder::WriteFile(plainFile, "not a program");
    struct Case {
        const char* what;
        WideString path;
        WideString expected;
    };
    const Case cases[] = {
        {"no translation list: 040904e2", dir / L"version_default.dll", L"Fallback Product Setup"},
        {"the first translation listed", dir / L"version_translations.dll", L"Gr\u00f6\u00dfe Produkt Setup"},
        {"an empty product name", dir / L"version_empty.dll", (dir / L"version_empty.dll") + L" Setup"},
        {"a file without a version resource", plainFile, plainFile + L" Setup"},
        {"a file that does not exist", dir / L"missing.exe", (dir / L"missing.exe") + L" Setup"},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        PreparingWindow window;
        window.SetModulePath(c.path);
        CHECK(window.SetupTitle() == c.expected);
    }
}

TEST_CASE("PreparingWindow shows nothing in silent mode and survives a window that cannot be created") {
    {
        Interactive = false;
        PreparingWindow window;
        window.SetModulePath(OwnPath());
        window.Show(IDS_PREPARING);
        window.Show(IDS_SEARCHING);
        CHECK_FALSE(window.Created());
        CHECK(window.Handle() == nullptr);
    }
    {
        Interactive = true;
        PreparingWindow window;
        window.SetModulePath(OwnPath());
        window.Show(IDS_PREPARING);
        CHECK(window.Created());
        CHECK(window.CreatingThreadId() == ::GetCurrentThreadId());
        if (window.Handle()) {
            // With a display the window is real.
            wchar_t text[100];
            ::GetWindowTextW(window.Handle(), text, 100);
            CHECK(WideString(text) == L"" CHAINER_PRODUCT_NAME " Setup");
            window.Show(IDS_SEARCHING);
            ::GetDlgItemTextW(window.Handle(), IDC_PREPARING_STATUS, text, 100);
            CHECK(WideString(text) == L"Searching for prerequisites...");
            HWND handle = window.Handle();
            window.Close();
            CHECK_FALSE(::IsWindow(handle));
        } else {
            // Without one (the usual unit-test run) creation fails; the run
            // goes on without a window and no later call tries again.
            window.Show(IDS_SEARCHING);
            CHECK(window.Handle() == nullptr);
            window.Close();
        }
        CHECK(window.Handle() == nullptr);
    }
}
