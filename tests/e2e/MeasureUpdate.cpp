// Measures, on the real updater: the time from the click on "アップデート開始" to the completion
// dialog, beside the time to simply write the same bytes to the same folder (with and without
// flushing them to disk, as the update does). Prints one line per figure; run by
// scripts/measure-update, never as a test.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "tests/e2e/Driver.h"

using namespace e2e;

namespace {

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeUpdate() {
    TGameFolder game;
    RecordGameDir(game.Path() + "\\");
    TUpdater updater;
    HWND main = updater.WaitMainWindow();
    HWND start = FindChild(main, L"Button", Wide("アップデート開始"));
    if (!main || !start)
        throw std::runtime_error("no main window");
    const double t0 = Now();
    Click(start);
    HWND box = updater.WaitWindow(L"#32770", Wide("情報"));
    const double t1 = Now();
    if (!box)
        throw std::runtime_error("no completion dialog");
    PressButton(box, L"OK");
    updater.WaitExit();
    ClearRecord();
    return t1 - t0;
}

double TimePlainWrite(bool Flush) {
    TGameFolder game;
    std::vector<Bytes> data;
    for (const char* name : GameFiles)
        data.push_back(NewFile(name));
    const double t0 = Now();
    for (std::size_t i = 0; i < 4; ++i) {
        HANDLE h = CreateFileW(Wide(game.File(GameFiles[i]) + ".new").c_str(), GENERIC_WRITE, 0,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD put = 0;
        WriteFile(h, data[i].data(), static_cast<DWORD>(data[i].size()), &put, nullptr);
        if (Flush)
            FlushFileBuffers(h);
        CloseHandle(h);
    }
    return Now() - t0;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::size_t total = 0;
    for (const char* name : GameFiles)
        total += NewFile(name).size();
    std::vector<double> update, plain, flushed;
    try {
        for (int i = 0; i < runs; ++i) {
            update.push_back(TimeUpdate());
            plain.push_back(TimePlainWrite(false));
            flushed.push_back(TimePlainWrite(true));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "measure-update: %s\n", e.what());
        return 1;
    }
    std::printf("bytes written:                      %zu\n", total);
    std::printf("click to completion dialog:         %.1f ms (median of %d)\n", Median(update),
                runs);
    std::printf("plain write of the same bytes:      %.1f ms\n", Median(plain));
    std::printf("plain write, flushed to disk:       %.1f ms\n", Median(flushed));
    return 0;
}
