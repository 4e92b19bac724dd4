// Times a bare recursive walk of a folder tree through Win32, the floor under
// any listing of a drive:
//
//   bench_tree_walk.exe ROOT      ROOT a folder or a drive, as "E:\"
//
// The walk uses FindFirstFileExW with the basic information level (no short
// names) and large fetches, and enters every folder that is not a reparse
// point. It runs twice and reports the faster pass, then once more looking
// each file up again by its full path with FindFirstFileW, as a listing that
// names each file through its own search does. Windows XP has neither the
// basic level nor large fetches; this is a benchmark, run under Wine only.
//
// Prints one line of key=value pairs: entries, files, walk_seconds and
// walk_lookup_seconds. Exit code 1 when ROOT cannot be walked.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench_clock.h"

namespace {

struct Counts {
    long long entries = 0;
    long long files = 0;
    bool ok = true;
};

void walk(std::wstring& path, bool lookUpEachFile, Counts& counts) {
    const size_t length = path.size();
    path += L'*';
    WIN32_FIND_DATAW data;
    HANDLE h = ::FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                  FIND_FIRST_EX_LARGE_FETCH);
    path.resize(length);
    if (h == INVALID_HANDLE_VALUE) {
        counts.ok = false;
        return;
    }
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        ++counts.entries;
        path += name;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                path += L'\\';
                walk(path, lookUpEachFile, counts);
            }
        } else {
            ++counts.files;
            if (lookUpEachFile) {
                WIN32_FIND_DATAW again;
                HANDLE one = ::FindFirstFileW(path.c_str(), &again);
                if (one == INVALID_HANDLE_VALUE)
                    counts.ok = false;
                else
                    ::FindClose(one);
            }
        }
        path.resize(length);
    } while (::FindNextFileW(h, &data));
    ::FindClose(h);
}

double timedWalk(const std::wstring& root, bool lookUpEachFile, Counts& counts) {
    counts = {};
    std::wstring path = root;
    const double start = now();
    walk(path, lookUpEachFile, counts);
    return now() - start;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_tree_walk ROOT\n");
        return 2;
    }
    std::wstring root = argv[1];
    if (root.empty() || root.back() != L'\\') root += L'\\';

    Counts counts, lookupCounts;
    const double first = timedWalk(root, false, counts);
    const double walkSeconds = std::min(first, timedWalk(root, false, counts));
    const double lookupSeconds = timedWalk(root, true, lookupCounts);
    if (!counts.ok || !lookupCounts.ok || lookupCounts.entries != counts.entries) {
        std::fprintf(stderr, "bench_tree_walk: the walk of %ls failed\n", root.c_str());
        return 1;
    }
    std::printf("entries=%lld files=%lld walk_seconds=%.3f walk_lookup_seconds=%.3f\n", counts.entries, counts.files,
                walkSeconds, lookupSeconds);
    return 0;
}
