// ini_bench FILE RUNS: median time of a plain read of FILE into memory and of
// parsing those bytes as a configuration, in milliseconds, one per line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "config/ini_document.h"

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<unsigned char> ReadAll(const char* path) {
    std::vector<unsigned char> bytes;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return bytes;
    std::fseek(file, 0, SEEK_END);
    bytes.resize(static_cast<size_t>(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) bytes.clear();
    std::fclose(file);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const int runs = std::atoi(argv[2]);
    std::vector<double> readMs, parseMs;
    size_t sections = 0;
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        std::vector<unsigned char> bytes = ReadAll(argv[1]);
        auto t1 = std::chrono::steady_clock::now();
        IniDocument doc;
        doc.ParseBytes(bytes.data() + 2, bytes.size() - 2);
        auto t2 = std::chrono::steady_clock::now();
        sections = doc.Sections.size();
        readMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        parseMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    std::printf("read_ms %.3f\nparse_ms %.3f\nsections %zu\n", Median(readMs), Median(parseMs), sections);
    return 0;
}
