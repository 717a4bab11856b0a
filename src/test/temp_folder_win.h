#pragma once

#include <windows.h>

#include <string>

#include "base/wide_string.h"

// A fresh folder under the temporary folder for one test, removed with all
// it holds when the test ends.
class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        static unsigned counter = 0;
        for (;;) {
            path_ = std::wstring(temp) + L"ctest" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                    std::to_wstring(++counter);
            if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
        }
    }
    ~TempFolder() { RemoveTree(L"\\\\?\\" + path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const WideString& Path() const { return path_; }
    WideString operator/(const WideString& name) const { return path_ + L"\\" + name; }

    static void WriteFile(const WideString& path, const std::string& bytes) {
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (!bytes.empty()) ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
    }

private:
    static void RemoveTree(const std::wstring& path) {
        WIN32_FIND_DATAW data;
        HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = path + L"\\" + name;
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
                else ::DeleteFileW(child.c_str());
            } while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(path.c_str());
    }

    std::wstring path_;
};
