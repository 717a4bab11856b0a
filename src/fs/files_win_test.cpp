#include "fs/files_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "test/doctest_main.h"
#include "test/temp_folder_win.h"

namespace {

bool IsFolder(const WideString& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const WideString& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

using List = std::vector<WideString>;

}  // namespace

TEST_CASE("CreateFolderPath on the real disk") {
    TempFolder dir;
    List created;
    CHECK(CreateFolderPath(dir / L"x\\y\\file.txt", false, &created) == 0);
    CHECK(created == List{dir / L"x", dir / L"x\\y"});
    CHECK(IsFolder(dir / L"x\\y"));
    CHECK_FALSE(PathExists(dir / L"x\\y\\file.txt"));

    created.clear();
    CHECK(CreateFolderPath(dir / L"x\\y\\file.txt", false, &created) == 0);
    CHECK(created.empty());

    CHECK(CreateFolderPath(dir / L"x\\y\\z", true, nullptr) == 0);
    CHECK(IsFolder(dir / L"x\\y\\z"));

    // A name Windows refuses stops the work with its error, and the folder
    // this call created above it is taken back.
    created.clear();
    const uint32_t error = CreateFolderPath(dir / L"new\\bad|name\\deeper", true, &created);
    CHECK(error == ERROR_INVALID_NAME);
    CHECK_FALSE(PathExists(dir / L"new"));
    CHECK(created.empty());

    // A file standing where a folder should be.
    TempFolder::WriteFile(dir / L"blocker", "x");
    CHECK(CreateFolderPath(dir / L"blocker\\sub\\f.txt", false, nullptr) != 0);
}

TEST_CASE("paths beyond MAX_PATH through the long-path prefix") {
    TempFolder dir;
    WideString deep = L"\\\\?\\" + dir.Path();
    for (int i = 0; i < 40; ++i) deep += L"\\level" + std::to_wstring(i);
    REQUIRE(deep.size() > 300);
    CHECK(CreateFolderPath(deep, true, nullptr) == 0);
    CHECK(IsFolder(deep));
    TempFolder::WriteFile(deep + L"\\file.txt", "data");

    DeleteFolderContents(L"\\\\?\\" + dir.Path());
    CHECK(IsFolder(dir.Path()));
    CHECK(CountFolderEntries(dir.Path()) == 0);
}

TEST_CASE("DeleteFolderContents empties a tree and keeps the folder") {
    TempFolder dir;
    const WideString root = dir / L"root";
    CreateFolderPath(root + L"\\a\\b\\c", true, nullptr);
    CreateFolderPath(root + L"\\empty", true, nullptr);
    TempFolder::WriteFile(root + L"\\top.txt", "1");
    TempFolder::WriteFile(root + L"\\a\\mid.txt", "2");
    TempFolder::WriteFile(root + L"\\a\\b\\c\\deep.txt", "3");
    // A file held open without delete sharing cannot go, and neither can its folders.
    const WideString held = root + L"\\a\\b\\held.txt";
    TempFolder::WriteFile(held, "4");
    HANDLE holder = ::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    REQUIRE(holder != INVALID_HANDLE_VALUE);

    DeleteFolderContents(root);
    CHECK(IsFolder(root));
    CHECK(IsFile(held));
    CHECK(IsFolder(root + L"\\a\\b"));
    CHECK_FALSE(PathExists(root + L"\\a\\b\\c"));
    CHECK_FALSE(PathExists(root + L"\\top.txt"));
    CHECK_FALSE(PathExists(root + L"\\a\\mid.txt"));
    CHECK_FALSE(PathExists(root + L"\\empty"));
    CHECK(CountFolderEntries(root) == 1);

    ::CloseHandle(holder);
    DeleteFolderContents(root);
    CHECK(CountFolderEntries(root) == 0);

    // A folder that does not exist is not an error.
    DeleteFolderContents(dir / L"missing");
}

TEST_CASE("RemoveEmptyFolders stops at the root and at folders that are not empty") {
    TempFolder dir;
    const WideString root = dir / L"dl";
    CreateFolderPath(root + L"\\a\\b\\c", true, nullptr);
    TempFolder::WriteFile(root + L"\\a\\keep.txt", "k");

    RemoveEmptyFolders(root + L"\\a\\b\\c", root + L"\\");
    CHECK_FALSE(PathExists(root + L"\\a\\b"));
    CHECK(IsFolder(root + L"\\a"));

    ::DeleteFileW((root + L"\\a\\keep.txt").c_str());
    RemoveEmptyFolders(root + L"\\a", root);
    CHECK_FALSE(PathExists(root + L"\\a"));
    CHECK(IsFolder(root));
}

TEST_CASE("CountFolderEntries") {
    TempFolder dir;
    CHECK(CountFolderEntries(dir.Path()) == 0);
    TempFolder::WriteFile(dir / L"a", "");
    TempFolder::WriteFile(dir / L"b", "");
    CreateFolderPath(dir / L"c", true, nullptr);
    CHECK(CountFolderEntries(dir.Path()) == 3);
    CHECK(CountFolderEntries(dir / L"a") == 0);        // a file
    CHECK(CountFolderEntries(dir / L"missing") == 0);
}

TEST_CASE("PathExists looks up absolute paths only") {
    TempFolder dir;
    TempFolder::WriteFile(dir / L"file.txt", "x");
    CHECK(PathExists(dir / L"file.txt"));
    CHECK(PathExists(dir.Path()));
    CHECK(PathExists(dir / L"*.txt"));
    CHECK(PathExists(dir / L"fi?e.txt"));
    CHECK_FALSE(PathExists(dir / L"*.exe"));
    CHECK_FALSE(PathExists(L""));
    CHECK_FALSE(PathExists(L"\\"));

    // Present in the current folder, but relative: never looked up.
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ::SetCurrentDirectoryW(dir.Path().c_str());
    CHECK_FALSE(PathExists(L"file.txt"));
    ::SetCurrentDirectoryW(previous);
}

TEST_CASE("temporary folder and names") {
    const WideString temp = GetTempFolder();
    REQUIRE_FALSE(temp.empty());
    CHECK(temp.back() == L'\\');
    CHECK(IsFolder(temp));

    WideString name1, name2;
    REQUIRE(MakeTempFileName(L"EXE", name1));
    REQUIRE(MakeTempFileName(L"EXE", name2));
    CHECK(name1.compare(0, temp.size(), temp) == 0);
    CHECK(name1.find(L"EXE", temp.size()) == temp.size());
    CHECK_FALSE(PathExists(name1));  // the empty file was deleted again
    CHECK(name1 != name2);
}

TEST_CASE("fixed drives and environment variables") {
    const List drives = ListFixedDrives();
    REQUIRE_FALSE(drives.empty());
    bool haveC = false;
    for (const WideString& drive : drives) {
        CAPTURE(drive);
        CHECK(drive.size() == 3);
        CHECK(drive.substr(1) == L":\\");
        CHECK(::GetDriveTypeW(drive.c_str()) == DRIVE_FIXED);
        if (drive == L"C:\\" || drive == L"c:\\") haveC = true;
    }
    CHECK(haveC);

    WideString value = L"stale";
    CHECK_FALSE(GetEnvironmentText(L"CHAINER_TEST_UNSET_VARIABLE", value));
    CHECK(value.empty());

    const std::wstring longValue(20000, L'v');
    ::SetEnvironmentVariableW(L"CHAINER_TEST_LONG", longValue.c_str());
    CHECK(GetEnvironmentText(L"CHAINER_TEST_LONG", value));
    CHECK(value == longValue);

    ::SetEnvironmentVariableW(L"CHAINER_TEST_EMPTY", L"");
    CHECK(GetEnvironmentText(L"CHAINER_TEST_EMPTY", value));
    CHECK(value.empty());
}
