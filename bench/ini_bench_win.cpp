// ini_bench_win FILE RUNS (under Wine): median milliseconds of a plain
// ReadFile of the whole file and of IniDocument::LoadFile on it (the same
// read, then the parse), one per line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "config/ini_document.h"

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const int runs = _wtoi(argv[2]);
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(argv[1], &found);
    if (find == INVALID_HANDLE_VALUE) return 3;
    ::FindClose(find);
    const DWORD size = found.nFileSizeLow;

    std::vector<double> readMs, loadMs;
    size_t sections = 0;
    for (int i = 0; i < runs; ++i) {
        double t0 = Now();
        {
            HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
            std::vector<unsigned char> bytes(size);
            DWORD read = 0;
            ::ReadFile(file, bytes.data(), size, &read, nullptr);
            ::CloseHandle(file);
        }
        double t1 = Now();
        {
            IniDocument doc;
            doc.LoadFile(argv[1], size);
            sections = doc.Sections.size();
        }
        double t2 = Now();
        readMs.push_back(t1 - t0);
        loadMs.push_back(t2 - t1);
    }
    std::printf("read_ms %.3f\nload_ms %.3f\nsections %u\n", Median(readMs), Median(loadMs),
                static_cast<unsigned>(sections));
    return 0;
}
