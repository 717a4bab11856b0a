#include "app/installer_idle_win.h"

#include <windows.h>

#include "test/doctest_main.h"

namespace {

struct Holder {
    HANDLE mutex = nullptr;
    HANDLE ready = nullptr;
    HANDLE release = nullptr;
    DWORD holdMs = 0;
    bool abandon = false;
    SECURITY_ATTRIBUTES* attributes = nullptr;
};

// Owns the mutex on a thread of its own, as another installation would.
DWORD WINAPI HoldMutex(void* context) {
    Holder* holder = static_cast<Holder*>(context);
    holder->mutex = ::CreateMutexW(holder->attributes, TRUE, kInstallerMutexName);
    ::SetEvent(holder->ready);
    if (holder->abandon) return 0;  // ends owning it: the mutex is abandoned
    ::WaitForSingleObject(holder->release, holder->holdMs);
    ::ReleaseMutex(holder->mutex);
    return 0;
}

// Whether another thread can own the mutex right now.
DWORD WINAPI TryAcquire(void* context) {
    HANDLE mutex = static_cast<HANDLE>(context);
    const DWORD wait = ::WaitForSingleObject(mutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ::ReleaseMutex(mutex);
    return wait;
}

DWORD WaitResultFromOtherThread(HANDLE mutex) {
    HANDLE thread = ::CreateThread(nullptr, 0, TryAcquire, mutex, 0, nullptr);
    ::WaitForSingleObject(thread, INFINITE);
    DWORD code = 0;
    ::GetExitCodeThread(thread, &code);
    ::CloseHandle(thread);
    return code;
}

HANDLE StartHolder(Holder& holder) {
    holder.ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    holder.release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = ::CreateThread(nullptr, 0, HoldMutex, &holder, 0, nullptr);
    ::WaitForSingleObject(holder.ready, INFINITE);
    return thread;
}

void Finish(Holder& holder, HANDLE thread) {
    ::SetEvent(holder.release);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    ::CloseHandle(holder.mutex);
    ::CloseHandle(holder.ready);
    ::CloseHandle(holder.release);
}

}  // namespace

TEST_CASE("no installer mutex: the chain may start at once") {
    CHECK(WaitForInstallerIdle() == 0);
}

TEST_CASE("a held mutex is waited for, then given back") {
    Holder holder;
    holder.holdMs = 400;
    HANDLE thread = StartHolder(holder);
    REQUIRE(holder.mutex != nullptr);

    const DWORD start = ::GetTickCount();
    CHECK(WaitForInstallerIdle() == 0);
    CHECK(::GetTickCount() - start >= 300);

    // The wait made this thread the owner; it must not stay so, or Windows
    // Installer could not start the installers the chain launches.
    CHECK(WaitResultFromOtherThread(holder.mutex) == WAIT_OBJECT_0);
    Finish(holder, thread);
}

TEST_CASE("an abandoned mutex keeps the chain from starting and is not kept") {
    Holder holder;
    holder.abandon = true;
    HANDLE thread = StartHolder(holder);
    ::WaitForSingleObject(thread, INFINITE);
    CHECK(WaitForInstallerIdle() == 1);
    CHECK(WaitResultFromOtherThread(holder.mutex) == WAIT_OBJECT_0);
    Finish(holder, thread);
}

TEST_CASE("an installer mutex name that cannot be opened keeps the chain from starting") {
    // Wine grants every access to the objects of the same user whatever
    // their access list, so "access denied" cannot be produced here. Another
    // kind of object under the mutex's name is a real case of a name that
    // exists but cannot be opened as a mutex to wait on.
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, kInstallerMutexName);
    REQUIRE(event != nullptr);
    HANDLE probe = ::OpenMutexW(SYNCHRONIZE, FALSE, kInstallerMutexName);
    CHECK(probe == nullptr);
    CHECK(::GetLastError() != ERROR_FILE_NOT_FOUND);

    const DWORD start = ::GetTickCount();
    CHECK(WaitForInstallerIdle() == 1);
    CHECK(::GetTickCount() - start < 2000);
    ::CloseHandle(event);
    CHECK(WaitForInstallerIdle() == 0);
}
