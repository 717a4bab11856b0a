#include "fs/folders.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "test/doctest_main.h"

namespace {

// An in-memory disk: a set of folders, case-sensitive for simplicity, with
// per-path errors to inject.
class FakeFolders : public FolderSystem {
public:
    std::set<WideString> folders;
    std::set<WideString> files;
    std::map<WideString, uint32_t> failures;
    std::vector<WideString> removeCalls;

    bool PathExists(const WideString& path) override {
        return folders.count(path) != 0 || files.count(path) != 0;
    }
    uint32_t CreateFolder(const WideString& path) override {
        auto failure = failures.find(path);
        if (failure != failures.end()) return failure->second;
        if (PathExists(path)) return kErrorAlreadyExists;
        const size_t slash = path.rfind(L'\\');
        const bool parentIsRoot = slash == 0 || (slash == 2 && path[1] == L':');
        if (slash != WideString::npos && !parentIsRoot && !PathExists(path.substr(0, slash))) return 3;
        folders.insert(path);
        return 0;
    }
    bool RemoveFolder(const WideString& path) override {
        removeCalls.push_back(path);
        if (folders.count(path) == 0) return false;
        for (const auto& set : {folders, files}) {
            for (const WideString& other : set) {
                if (other.size() > path.size() && other.compare(0, path.size() + 1, path + L"\\") == 0) return false;
            }
        }
        folders.erase(path);
        return true;
    }
};

using List = std::vector<WideString>;

}  // namespace

TEST_CASE("CreateFolderPath creates the missing folders from the top") {
    FakeFolders fs;
    List created;
    CHECK(CreateFolderPath(fs, L"C:\\x\\y\\file.txt", false, &created) == 0);
    CHECK(created == List{L"C:\\x", L"C:\\x\\y"});
    CHECK_FALSE(fs.PathExists(L"C:\\x\\y\\file.txt"));

    // Again, with everything there: nothing new, still 0.
    created.clear();
    CHECK(CreateFolderPath(fs, L"C:\\x\\y\\file.txt", false, &created) == 0);
    CHECK(created.empty());

    CHECK(CreateFolderPath(fs, L"C:\\x\\y\\z", true, &created) == 0);
    CHECK(created == List{L"C:\\x\\y\\z"});
    // An existing path returns at once.
    CHECK(CreateFolderPath(fs, L"C:\\x", true, nullptr) == 0);
    CHECK(CreateFolderPath(fs, L"", true, nullptr) == 0);
    CHECK(CreateFolderPath(fs, L"C:", true, nullptr) == 0);
}

TEST_CASE("CreateFolderPath stops at a failure and undoes only its own level above") {
    FakeFolders fs;
    fs.failures[L"C:\\new\\bad"] = 123;
    List created;
    CHECK(CreateFolderPath(fs, L"C:\\new\\bad\\deeper", true, &created) == 123);
    CHECK_FALSE(fs.PathExists(L"C:\\new"));
    CHECK(created.empty());

    // A folder that was there before, empty, is not ours to remove.
    FakeFolders before;
    before.folders.insert(L"C:\\mine");
    before.failures[L"C:\\mine\\bad"] = 5;
    CHECK(CreateFolderPath(before, L"C:\\mine\\bad\\f.txt", false, nullptr) == 5);
    CHECK(before.PathExists(L"C:\\mine"));
    CHECK(before.removeCalls.empty());

    // A failure on the first folder removes nothing.
    FakeFolders first;
    first.failures[L"C:\\a"] = 5;
    CHECK(CreateFolderPath(first, L"C:\\a\\b", true, nullptr) == 5);
    CHECK(first.removeCalls.empty());
}

TEST_CASE("CreateFolderPath on UNC paths passes over the share's failures") {
    FakeFolders fs;
    fs.failures[L"\\\\server\\share"] = 5;
    fs.folders.insert(L"\\\\server\\share");
    List created;
    CHECK(CreateFolderPath(fs, L"\\\\server\\share\\dl\\f.exe", false, &created) == 0);
    CHECK(created == List{L"\\\\server\\share\\dl"});

    // The last folder failing is reported.
    fs.failures[L"\\\\server\\share\\dl\\locked"] = 5;
    CHECK(CreateFolderPath(fs, L"\\\\server\\share\\dl\\locked", true, nullptr) == 5);
}

TEST_CASE("CreateFolderPath with the long-path prefix") {
    FakeFolders fs;
    fs.folders.insert(L"\\\\?\\C:");
    List created;
    CHECK(CreateFolderPath(fs, L"\\\\?\\C:\\a\\b", true, &created) == 0);
    CHECK(created == List{L"\\\\?\\C:\\a", L"\\\\?\\C:\\a\\b"});
}

TEST_CASE("CreateFolderPath keeps a path on the current drive's root there") {
    FakeFolders fs;
    List created;
    CHECK(CreateFolderPath(fs, L"\\a\\b\\c.txt", false, &created) == 0);
    CHECK(created == List{L"\\a", L"\\a\\b"});
    created.clear();
    CHECK(CreateFolderPath(fs, L"\\x\\y", true, &created) == 0);
    CHECK(created == List{L"\\x", L"\\x\\y"});
}

TEST_CASE("RemoveEmptyFolders climbs to the root, never removing it") {
    FakeFolders fs;
    fs.folders = {L"C:\\dl", L"C:\\dl\\a", L"C:\\dl\\a\\b", L"C:\\dl\\a\\c"};
    RemoveEmptyFolders(fs, L"C:\\dl\\a\\b", L"C:\\dl\\");
    CHECK(fs.removeCalls == List{L"C:\\dl\\a\\b", L"C:\\dl\\a"});
    CHECK(fs.folders == std::set<WideString>{L"C:\\dl", L"C:\\dl\\a", L"C:\\dl\\a\\c"});

    fs.removeCalls.clear();
    RemoveEmptyFolders(fs, L"C:\\dl\\a\\c", L"C:\\dl");
    CHECK(fs.folders == std::set<WideString>{L"C:\\dl"});

    // Only lengths are compared: a sibling path as long as the root stops it.
    fs.removeCalls.clear();
    RemoveEmptyFolders(fs, L"C:\\xy", L"C:\\dl");
    CHECK(fs.removeCalls.empty());
    // A path without a parent is never removed.
    RemoveEmptyFolders(fs, L"folder", L"");
    CHECK(fs.removeCalls.empty());
}
