#include "install/run_at_logon_win.h"

#include <windows.h>
#include <mstask.h>
#include <objbase.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "detect/platform_win.h"
#include "test/doctest_main.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A key of one test's own under HKEY_CURRENT_USER, removed with its values.
class TestKey {
public:
    TestKey() : path_(L"Software\\ChainerTests\\RunValue" + std::to_wstring(::GetCurrentProcessId())) {
        ::RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
    }
    ~TestKey() {
        ::RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ChainerTests");
    }
    const WideString& Path() const { return path_; }

private:
    WideString path_;
};

struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    WideString Text() const {
        WideString text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        return text;
    }
};

// Every value of a key by name; an empty map when the key is missing.
std::map<WideString, Value> ReadValues(const WideString& keyPath) {
    std::map<WideString, Value> values;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameChars = 16384, size = 0, type = 0;
        if (::RegEnumValueW(key, i, name, &nameChars, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        Value& value = values[WideString(name, nameChars)];
        value.type = type;
        value.bytes.resize(size);
        nameChars = 16384;
        ::RegEnumValueW(key, i, name, &nameChars, nullptr, &type, value.bytes.data(), &size);
    }
    ::RegCloseKey(key);
    return values;
}

void WriteValue(const WideString& keyPath, const WideString& name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    REQUIRE(::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) == ERROR_SUCCESS);
    CHECK(::RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS);
    ::RegCloseKey(key);
}

WideString TasksFolder() {
    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    return WideString(windows) + L"\\Tasks\\";
}

std::set<WideString> FilesIn(const WideString& folder) {
    std::set<WideString> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names.insert(data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

bool FileExists(const WideString& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct ComScope {
    ComScope() { ::CoInitialize(nullptr); }
    ~ComScope() { ::CoUninitialize(); }
};

ITaskScheduler* OpenScheduler() {
    ITaskScheduler* scheduler = nullptr;
    ::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                       reinterpret_cast<void**>(&scheduler));
    return scheduler;
}

WideString TakeText(LPWSTR text) {
    WideString copy = text ? text : L"";
    ::CoTaskMemFree(text);
    return copy;
}

// What the scheduler reads back from a job's file.
struct Job {
    bool found = false;
    WideString program, parameters, workingDirectory, comment;
    DWORD flags = 0, maxRunTime = 0;
    std::vector<TASK_TRIGGER> triggers;
};

Job ReadJob(const WideString& name) {
    Job job;
    ITaskScheduler* scheduler = OpenScheduler();
    REQUIRE(scheduler);
    ITask* task = nullptr;
    if (SUCCEEDED(scheduler->Activate(name.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(&task)))) {
        job.found = true;
        LPWSTR text = nullptr;
        if (SUCCEEDED(task->GetApplicationName(&text))) job.program = TakeText(text);
        if (SUCCEEDED(task->GetParameters(&text))) job.parameters = TakeText(text);
        if (SUCCEEDED(task->GetWorkingDirectory(&text))) job.workingDirectory = TakeText(text);
        if (SUCCEEDED(task->GetComment(&text))) job.comment = TakeText(text);
        task->GetFlags(&job.flags);
        task->GetMaxRunTime(&job.maxRunTime);
        WORD count = 0;
        task->GetTriggerCount(&count);
        for (WORD i = 0; i < count; ++i) {
            ITaskTrigger* trigger = nullptr;
            TASK_TRIGGER fields = {};
            fields.cbTriggerSize = sizeof fields;
            if (SUCCEEDED(task->GetTrigger(i, &trigger))) {
                trigger->GetTrigger(&fields);
                trigger->Release();
            }
            job.triggers.push_back(fields);
        }
        task->Release();
    }
    scheduler->Release();
    return job;
}

void DeleteJob(const WideString& name) {
    if (ITaskScheduler* scheduler = OpenScheduler()) {
        scheduler->Delete(name.c_str());
        scheduler->Release();
    }
}

// Deletes a job before and after one test, whatever happens in between.
class JobGuard {
public:
    explicit JobGuard(const WideString& name) : name_(name) { DeleteJob(name_); }
    ~JobGuard() { DeleteJob(name_); }

private:
    WideString name_;
};

// A job as another program might have left it, with a daily and a one-time
// trigger.
void SaveForeignJob(const WideString& name) {
    ITaskScheduler* scheduler = OpenScheduler();
    REQUIRE(scheduler);
    ITask* task = nullptr;
    REQUIRE(SUCCEEDED(
        scheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask, reinterpret_cast<IUnknown**>(&task))));
    task->SetApplicationName(L"C:\\old\\old.exe");
    task->SetParameters(L"--old");
    task->SetComment(L"left by someone else");
    task->SetFlags(0);
    const TASK_TRIGGER_TYPE types[] = {TASK_TIME_TRIGGER_DAILY, TASK_TIME_TRIGGER_ONCE};
    for (TASK_TRIGGER_TYPE type : types) {
        WORD index = 0;
        ITaskTrigger* trigger = nullptr;
        REQUIRE(SUCCEEDED(task->CreateTrigger(&index, &trigger)));
        TASK_TRIGGER fields = {};
        fields.cbTriggerSize = sizeof fields;
        fields.wBeginYear = 2020;
        fields.wBeginMonth = 1;
        fields.wBeginDay = 2;
        fields.wStartHour = 3;
        fields.wStartMinute = 4;
        fields.TriggerType = type;
        if (type == TASK_TIME_TRIGGER_DAILY) fields.Type.Daily.DaysInterval = 1;
        CHECK(SUCCEEDED(trigger->SetTrigger(&fields)));
        trigger->Release();
    }
    IPersistFile* file = nullptr;
    REQUIRE(SUCCEEDED(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    CHECK(SUCCEEDED(file->Save(nullptr, TRUE)));
    file->Release();
    task->Release();
    scheduler->Release();
}

bool SameMinute(const TASK_TRIGGER& trigger, const SYSTEMTIME& time) {
    return trigger.wBeginYear == time.wYear && trigger.wBeginMonth == time.wMonth && trigger.wBeginDay == time.wDay &&
           trigger.wStartHour == time.wHour && trigger.wStartMinute == time.wMinute;
}

void CheckLogonTrigger(const TASK_TRIGGER& trigger) {
    CHECK(trigger.cbTriggerSize == 48);
    CHECK(trigger.TriggerType == TASK_EVENT_TRIGGER_AT_LOGON);
    CHECK(trigger.wEndYear == 0);
    CHECK(trigger.wEndMonth == 0);
    CHECK(trigger.wEndDay == 0);
    CHECK(trigger.MinutesDuration == 0);
    CHECK(trigger.MinutesInterval == 0);
    CHECK(trigger.rgFlags == 0);
}

}  // namespace

TEST_CASE("the Run value: name, quoting, and an existing value that fits in 200 bytes is kept") {
    const WideString hundred = L"C:\\" + WideString(91, L'd') + L"\\a.exe";
    const WideString fits(99, L'k');     // 200 bytes with its terminator
    const WideString tooLong(100, L'k');  // 202 bytes
    const DWORD number = 42;

    enum Existing { None, Fits, TooLong, Number };
    struct Case {
        const char* what;
        WideString command, arguments;
        Existing existing;
        WideString name;
        DWORD type;
        WideString data;  // for REG_SZ
    };
    const Case cases[] = {
        {"no space", L"C:\\tools\\a.exe", L"/q", None, L"C:\\tools\\a.exe", REG_SZ, L"C:\\tools\\a.exe /q"},
        {"space, no arguments", L"C:\\Program Files\\a.exe", L"", None, L"C:\\Program Files\\a.exe", REG_SZ,
         L"C:\\Program Files\\a.exe"},
        {"space and arguments", L"C:\\Program Files\\a.exe", L"/q", None, L"C:\\Program Files\\a.exe", REG_SZ,
         L"\"C:\\Program Files\\a.exe\" /q"},
        {"100 characters", hundred, L"/x", None, hundred.substr(21), REG_SZ, hundred + L" /x"},
        {"fitting value kept", L"C:\\tools\\a.exe", L"/new", Fits, L"C:\\tools\\a.exe", REG_SZ, fits},
        {"longer value replaced", L"C:\\tools\\a.exe", L"/new", TooLong, L"C:\\tools\\a.exe", REG_SZ,
         L"C:\\tools\\a.exe /new"},
        {"a number fits too", L"C:\\tools\\a.exe", L"/new", Number, L"C:\\tools\\a.exe", REG_DWORD, L""},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        TestKey key;
        if (c.existing == Fits || c.existing == TooLong) {
            const WideString& data = c.existing == Fits ? fits : tooLong;
            WriteValue(key.Path(), c.name, REG_SZ, data.c_str(), static_cast<DWORD>((data.size() + 1) * 2));
        } else if (c.existing == Number) {
            WriteValue(key.Path(), c.name, REG_DWORD, &number, sizeof number);
        }

        CHECK(SetRunValueUnder(HKEY_CURRENT_USER, key.Path(), c.command, c.arguments));
        const auto values = ReadValues(key.Path());
        REQUIRE(values.size() == 1);
        CHECK(values.begin()->first == c.name);
        const Value& value = values.begin()->second;
        CHECK(value.type == c.type);
        if (c.type == REG_SZ) CHECK(value.Text() == c.data);
        if (c.type == REG_DWORD) CHECK(value.bytes == std::vector<BYTE>{42, 0, 0, 0});
    }

    // A key that cannot be opened or created.
    CHECK_FALSE(SetRunValueUnder(nullptr, L"Software\\ChainerTests\\Nowhere", L"C:\\a.exe", L""));
}

TEST_CASE("the Task Scheduler service runs") { CHECK(StartTaskScheduler() == 0); }

TEST_CASE("on Vista and later the command becomes a hidden logon job, not a Run value") {
    REQUIRE(WindowsVersionAtLeast(6, 0, 0, 0));
    ComScope com;
    const WideString command = L"C:\\tools\\exitwith.exe", name = L"C__tools_exitwith_exe";
    JobGuard guard(name);
    const auto runBefore = ReadValues(kRunKey);

    SYSTEMTIME before, after;
    ::GetSystemTime(&before);
    CHECK(RegisterRunAtLogon(command, L"1 2"));
    ::GetSystemTime(&after);

    CHECK(FileExists(TasksFolder() + name + L".job"));
    const Job job = ReadJob(name);
    REQUIRE(job.found);
    CHECK(job.program == L"\"C:\\tools\\exitwith.exe\"");
    CHECK(job.parameters == L"1 2");
    CHECK(job.workingDirectory == L"");
    CHECK(job.comment == L"");
    CHECK(job.flags == 0x2200u);  // hidden, only while the user is logged on
    CHECK(job.maxRunTime == INFINITE);
    REQUIRE(job.triggers.size() == 1);
    CheckLogonTrigger(job.triggers[0]);
    CHECK((SameMinute(job.triggers[0], before) || SameMinute(job.triggers[0], after)));

    CHECK(ReadValues(kRunKey).size() == runBefore.size());
    CHECK(ReadValues(kRunKey).count(command) == 0);
}

TEST_CASE("an existing job of that name is reused, its first trigger replaced") {
    ComScope com;
    const WideString name = L"ChainerTestReused";
    JobGuard guard(name);
    SaveForeignJob(name);
    const auto filesBefore = FilesIn(TasksFolder());

    SYSTEMTIME start = {};
    start.wYear = 2031;
    start.wMonth = 5;
    start.wDay = 17;
    start.wHour = 7;
    start.wMinute = 41;
    CHECK(CreateLogonJob(name, L"\"C:\\new\\new.exe\"", L"--new", L"", start));

    CHECK(FilesIn(TasksFolder()) == filesBefore);
    const Job job = ReadJob(name);
    REQUIRE(job.found);
    CHECK(job.program == L"\"C:\\new\\new.exe\"");
    CHECK(job.parameters == L"--new");
    CHECK(job.comment == L"");
    CHECK(job.flags == 0x2200u);
    REQUIRE(job.triggers.size() == 2);
    CheckLogonTrigger(job.triggers[0]);
    CHECK(SameMinute(job.triggers[0], start));
    CHECK(job.triggers[1].TriggerType == TASK_TIME_TRIGGER_ONCE);  // the others are not ours
}

TEST_CASE("a job the scheduler refuses leaves nothing behind") {
    ComScope com;
    const auto filesBefore = FilesIn(TasksFolder());
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    // The scheduler takes no dot in a name: ".job" is the extension it adds.
    CHECK_FALSE(CreateLogonJob(L"refused.job", L"\"C:\\a.exe\"", L"", L"", now));
    CHECK(FilesIn(TasksFolder()) == filesBefore);
}

TEST_CASE("an empty command registers nothing") {
    ComScope com;
    const auto filesBefore = FilesIn(TasksFolder());
    const auto runBefore = ReadValues(kRunKey);
    CHECK_FALSE(RegisterRunAtLogon(L"", L""));
    CHECK_FALSE(RegisterRunAtLogon(L"", L"/resume"));
    CHECK(FilesIn(TasksFolder()) == filesBefore);
    const auto runAfter = ReadValues(kRunKey);
    CHECK(runAfter.size() == runBefore.size());
    CHECK(runAfter.count(L"") == runBefore.count(L""));
}
