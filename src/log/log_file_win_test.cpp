#include "log/log_file_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "detect/platform.h"
#include "detect/platform_win.h"
#include "log/log_format.h"
#include "test/doctest_main.h"
#include "test/temp_folder_win.h"

namespace {

std::string ReadBytes(const WideString& path) {
    std::string bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) bytes.append(buffer, read);
    ::CloseHandle(file);
    return bytes;
}

WideString ReadText(const WideString& path) {
    const std::string bytes = ReadBytes(path);
    WideString text(bytes.size() / 2, L'\0');
    if (!text.empty()) memcpy(&text[0], bytes.data(), text.size() * 2);
    return text;
}

// The time stamp and "-" in front of each line, replaced by "T-".
WideString WithoutTimeStamps(const WideString& text) {
    WideString out;
    size_t at = 0;
    while (at < text.size()) {
        // "YYYY-MM-DD @hh:mm:ss-" is 21 characters.
        if (text.size() - at >= 21 && text[at + 10] == L' ' && text[at + 11] == L'@' && text[at + 20] == L'-') {
            out += L"T-";
            at += 21;
        }
        const size_t end = text.find(L"\r\n", at);
        const size_t next = end == WideString::npos ? text.size() : end + 2;
        out.append(text, at, next - at);
        at = next;
    }
    return out;
}

WideString SystemLine() {
    OsVersionInfo version;
    ReadOsVersion(version);
    return OsVersionLogText(version);
}

// Turns logging on for one test and back off.
struct Enabled {
    Enabled() { LogEnabled = true; }
    ~Enabled() { LogEnabled = false; }
};

}  // namespace

TEST_CASE("a new log: byte-order mark, header, system line, lines, end marker") {
    TempFolder dir;
    const WideString path = dir / L"new.log";
    Enabled enabled;
    {
        LogFile log;
        log.SetPath(path);
        CHECK(ReadBytes(path).empty());  // nothing before the first line
        log.WriteLine(L"first");
        log.WriteLine(L"Launching file:C:\\x\\setup.exe");
    }
    const std::string bytes = ReadBytes(path);
    REQUIRE(bytes.size() > 2);
    CHECK(bytes.substr(0, 2) == "\xFF\xFE");
    const WideString expected = WideString(1, static_cast<wchar_t>(0xFEFF)) + kLogHeader + SystemLine() +
                                L"T-first\r\nT-Launching file:C:\\x\\setup.exe\r\nT-" + kLogEndMarker + L"\r\n";
    CHECK(WithoutTimeStamps(ReadText(path)) == expected);
}

TEST_CASE("a second run appends without a second byte-order mark") {
    TempFolder dir;
    const WideString path = dir / L"twice.log";
    Enabled enabled;
    for (int run = 0; run < 2; ++run) {
        LogFile log;
        log.SetPath(path);
        log.WriteLine(L"run");
    }
    const WideString one = WideString(kLogHeader) + SystemLine() + L"T-run\r\nT-" + kLogEndMarker + L"\r\n";
    CHECK(WithoutTimeStamps(ReadText(path)) == WideString(1, static_cast<wchar_t>(0xFEFF)) + one + one);

    // A log in another encoding is appended to in UTF-16, without a mark.
    const WideString other = dir / L"ansi.log";
    TempFolder::WriteFile(other, "ansi text\r\n");
    {
        LogFile log;
        log.SetPath(other);
        log.WriteLine(L"x");
    }
    const std::string bytes = ReadBytes(other);
    CHECK(bytes.substr(0, 11) == "ansi text\r\n");
    CHECK(bytes.substr(11, 2) == std::string("\r\0", 2));
}

TEST_CASE("without logging enabled no end marker is written") {
    TempFolder dir;
    const WideString path = dir / L"quiet.log";
    {
        LogFile log;
        log.SetPath(path);
    }
    CHECK(ReadBytes(path).empty());
    CHECK_FALSE(::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST_CASE("lines written while the log cannot be created are lost, later ones are not") {
    TempFolder dir;
    const WideString folder = dir / L"later";
    const WideString path = folder + L"\\chain.log";
    Enabled enabled;
    LogFile log;
    log.SetPath(path);
    log.WriteLine(L"lost");
    CHECK(::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    log.WriteLine(L"kept");
    CHECK(WithoutTimeStamps(ReadText(path)) ==
          WideString(1, static_cast<wchar_t>(0xFEFF)) + kLogHeader + SystemLine() + L"T-kept\r\n");
}

TEST_CASE("once open, the log keeps its path") {
    TempFolder dir;
    Enabled enabled;
    LogFile log;
    log.SetPath(dir / L"a.log");
    log.SetPath(dir / L"b.log");  // not open yet: taken
    log.WriteLine(L"1");
    log.SetPath(dir / L"c.log");  // open: ignored
    log.WriteLine(L"2");
    CHECK(::GetFileAttributesW((dir / L"a.log").c_str()) == INVALID_FILE_ATTRIBUTES);
    CHECK(::GetFileAttributesW((dir / L"c.log").c_str()) == INVALID_FILE_ATTRIBUTES);
    const WideString text = ReadText(dir / L"b.log");
    CHECK(text.find(L"-1\r\n") != WideString::npos);
    CHECK(text.find(L"-2\r\n") != WideString::npos);
}

TEST_CASE("a log that has ended writes nothing more") {
    TempFolder dir;
    const WideString path = dir / L"ended.log";
    Enabled enabled;
    LogFile log;
    log.SetPath(path);
    log.WriteLine(L"before");
    log.WriteEndMarker();
    log.SetPath(path);
    log.WriteLine(L"after");  // a late writer at exit: ignored, not a crash
    const WideString text = ReadText(path);
    CHECK(text.find(L"-before\r\n") != WideString::npos);
    CHECK(text.find(L"after") == WideString::npos);
    const WideString ending = WideString(kLogEndMarker) + L"\r\n";
    CHECK(text.substr(text.size() - ending.size()) == ending);
}

namespace {

struct WriterContext {
    LogFile* log;
    int id;
};

DWORD WINAPI WriteMany(void* context) {
    WriterContext* writer = static_cast<WriterContext*>(context);
    for (int i = 0; i < 150; ++i) {
        writer->log->WriteLine(L"thread " + std::to_wstring(writer->id) + L" line " + std::to_wstring(i) +
                               L" " + WideString(40, static_cast<wchar_t>(L'a' + writer->id)));
    }
    return 0;
}

}  // namespace

TEST_CASE("lines from several threads never interleave") {
    TempFolder dir;
    const WideString path = dir / L"threads.log";
    Enabled enabled;
    {
        LogFile log;
        log.SetPath(path);
        WriterContext contexts[4];
        HANDLE threads[4];
        for (int t = 0; t < 4; ++t) {
            contexts[t] = {&log, t};
            threads[t] = ::CreateThread(nullptr, 0, WriteMany, &contexts[t], 0, nullptr);
        }
        ::WaitForMultipleObjects(4, threads, TRUE, INFINITE);
        for (HANDLE thread : threads) ::CloseHandle(thread);
    }
    const WideString text = WithoutTimeStamps(ReadText(path));
    int counts[4] = {};
    size_t at = 0;
    while ((at = text.find(L"T-thread ", at)) != WideString::npos) {
        const size_t end = text.find(L"\r\n", at);
        REQUIRE(end != WideString::npos);
        const WideString line = text.substr(at + 2, end - at - 2);
        const int id = line[7] - L'0';
        REQUIRE(id >= 0);
        REQUIRE(id < 4);
        // "thread N line I " and forty times the thread's letter, whole.
        const size_t number = line.find(L" line ");
        REQUIRE(number == 8);
        const size_t tail = line.find(L' ', number + 6);
        REQUIRE(tail != WideString::npos);
        CHECK(line.substr(tail) == L" " + WideString(40, static_cast<wchar_t>(L'a' + id)));
        ++counts[id];
        at = end;
    }
    for (int count : counts) CHECK(count == 150);
}

TEST_CASE("FormatSystemError") {
    const WideString missing = FormatSystemError(ERROR_FILE_NOT_FOUND);
    CHECK(missing != L"2");
    CHECK(missing.size() > 2);
    CHECK(missing.substr(missing.size() - 2) == L"\r\n");
    CHECK(FormatSystemError(0x7FFF1234u) == L"2147422772");
    CHECK(FormatSystemError(0xFFFFFFFFu) == L"-1");
}
