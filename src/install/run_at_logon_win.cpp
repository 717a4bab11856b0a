#include "install/run_at_logon_win.h"

#include <windows.h>
#include <mstask.h>
#include <winsvc.h>

#include "base/scoped_win.h"
#include "detect/platform_win.h"
#include "install/run_at_logon.h"

namespace {

// The Task Scheduler's class and interface identifiers, defined here: the
// import library that holds them keeps every identifier Windows has in one
// section, which would more than double the executable.
const GUID kClsidTaskScheduler = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTaskScheduler = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kClsidTask = {0x148BD520, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTask = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Both texts are read into buffers of 100 characters; a text that does not
// fit counts as missing rather than being cut.
const DWORD kAccountPartChars = 100;

WideString UserDomain() {
    wchar_t buffer[kAccountPartChars];
    const DWORD length = ::GetEnvironmentVariableW(L"UserDomain", buffer, kAccountPartChars);
    return length > 0 && length < kAccountPartChars ? WideString(buffer, length) : WideString();
}

WideString UserName() {
    wchar_t buffer[kAccountPartChars];
    DWORD size = kAccountPartChars;
    return ::GetUserNameW(buffer, &size) ? WideString(buffer) : WideString();
}

}  // namespace

uint32_t StartTaskScheduler() {
    ScopedService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return ::GetLastError();
    ScopedService service(::OpenServiceW(manager.Get(), L"Schedule", SERVICE_QUERY_STATUS | SERVICE_START));
    if (!service) return ::GetLastError();
    SERVICE_STATUS status = {};
    if (::QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_RUNNING) return 0;
    if (::StartServiceW(service.Get(), 0, nullptr)) return 0;
    return ::GetLastError();
}

bool CreateLogonJob(const WideString& jobName, const WideString& program, const WideString& parameters,
                    const WideString& account, const SYSTEMTIME& startTime) {
    ScopedCom<ITaskScheduler> scheduler;
    {
        ITaskScheduler* created = nullptr;
        if (FAILED(::CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler,
                                      reinterpret_cast<void**>(&created)))) {
            return false;
        }
        scheduler.Reset(created);
    }

    // A failed call may leave anything in its out-parameter: only a success
    // hands over an interface.
    ScopedCom<ITask> task;
    {
        ITask* item = nullptr;
        HRESULT result = scheduler.Get()->Activate(jobName.c_str(), kIidTask, reinterpret_cast<IUnknown**>(&item));
        if (FAILED(result)) {
            item = nullptr;
            result = scheduler.Get()->NewWorkItem(jobName.c_str(), kClsidTask, kIidTask,
                                                  reinterpret_cast<IUnknown**>(&item));
        }
        if (FAILED(result)) return false;
        task.Reset(item);
    }

    ITask* job = task.Get();
    // No password: with TASK_FLAG_RUN_ONLY_IF_LOGGED_ON the job runs in the
    // user's own session, and an empty account is the local system account.
    if (FAILED(job->SetApplicationName(program.c_str())) || FAILED(job->SetWorkingDirectory(L"")) ||
        FAILED(job->SetParameters(parameters.c_str())) ||
        FAILED(job->SetAccountInformation(account.c_str(), nullptr)) || FAILED(job->SetComment(L"")) ||
        FAILED(job->SetMaxRunTime(INFINITE)) ||
        FAILED(job->SetFlags(TASK_FLAG_HIDDEN | TASK_FLAG_RUN_ONLY_IF_LOGGED_ON))) {
        return false;
    }

    ScopedCom<ITaskTrigger> trigger;
    {
        ITaskTrigger* first = nullptr;
        WORD count = 0;
        HRESULT result = job->GetTriggerCount(&count);
        if (SUCCEEDED(result) && count > 0) {
            result = job->GetTrigger(0, &first);
        } else {
            WORD index = 0;
            result = job->CreateTrigger(&index, &first);
        }
        if (FAILED(result)) return false;
        trigger.Reset(first);
    }
    TASK_TRIGGER fields = {};
    fields.cbTriggerSize = sizeof fields;
    fields.wBeginYear = startTime.wYear;
    fields.wBeginMonth = startTime.wMonth;
    fields.wBeginDay = startTime.wDay;
    fields.wStartHour = startTime.wHour;
    fields.wStartMinute = startTime.wMinute;
    fields.TriggerType = TASK_EVENT_TRIGGER_AT_LOGON;
    if (FAILED(trigger.Get()->SetTrigger(&fields))) return false;

    ScopedCom<IPersistFile> file;
    {
        IPersistFile* persist = nullptr;
        if (FAILED(job->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&persist)))) return false;
        file.Reset(persist);
    }
    if (FAILED(file.Get()->Save(nullptr, TRUE))) {
        scheduler.Get()->Delete(jobName.c_str());
        return false;
    }
    return true;
}

bool SetRunValueUnder(HKEY root, const WideString& keyPath, const WideString& command,
                      const WideString& arguments) {
    ScopedRegKey key;
    {
        HKEY opened = nullptr;
        if (::RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr) !=
            ERROR_SUCCESS) {
            return false;
        }
        key.Reset(opened);
    }

    const WideString name = RunValueNameFor(command);
    // A value that reads into 200 bytes is taken to be ours from an earlier
    // run, whatever it holds; only a longer one is replaced.
    BYTE existing[200];
    DWORD size = sizeof existing;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, existing, &size) == ERROR_SUCCESS) return true;

    const WideString data = RunValueDataFor(command, arguments);
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) ==
           ERROR_SUCCESS;
}

bool SetRunValue(const WideString& command, const WideString& arguments) {
    return SetRunValueUnder(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", command,
                            arguments);
}

bool RegisterRunAtLogon(const WideString& command, const WideString& arguments) {
    // Nothing to run means nothing to register: a job without a program, or
    // an empty string as the Run key's default value, would only leave a
    // stray entry behind on the user's machine.
    if (command.empty()) return false;

    if (WindowsVersionAtLeast(6, 0, 0, 0)) {
        StartTaskScheduler();
        const WideString account = LogonAccountFor(UserDomain(), UserName());
        SYSTEMTIME now = {};
        ::GetSystemTime(&now);
        if (CreateLogonJob(JobNameFor(command), JobProgramFor(command), arguments, account, now)) return true;
    }
    return SetRunValue(command, arguments);
}
