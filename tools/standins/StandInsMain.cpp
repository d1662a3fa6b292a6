// standins OUTDIR --exe-stub PATH [--old]: writes the four stand-in game files into OUTDIR.
// Each file appears only complete: it is written under a temporary name and renamed.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "tools/standins/StandIns.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadFile(const fs::path& Path) {
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + Path.string());
    std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), {}};
    if (in.bad())
        throw std::runtime_error("cannot read " + Path.string());
    return data;
}

void WriteFile(const fs::path& Path, const std::vector<std::uint8_t>& Data) {
    // Built piecewise: GCC 12 at -O3 misreads "." + string + ".tmp" as an overlapping copy.
    std::string name = Path.filename().string();
    name.insert(0, 1, '.');
    name += ".tmp";
    const fs::path temp = Path.parent_path() / name;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(Data.data()), std::streamsize(Data.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            throw std::runtime_error("cannot write " + temp.string());
        }
    }
    fs::rename(temp, Path);
}

int Usage() {
    std::fputs("usage: standins OUTDIR --exe-stub PATH [--old]\n"
               "  writes the stand-in game files (the old versions with --old) into OUTDIR;\n"
               "  PATH is the program image the executable's stand-in starts with\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string outDir;
    std::string stubPath;
    bool old = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--exe-stub" && i + 1 < args.size())
            stubPath = args[++i];
        else if (args[i] == "--old")
            old = true;
        else if (outDir.empty() && !args[i].starts_with("--"))
            outDir = args[i];
        else
            return Usage();
    }
    if (outDir.empty() || stubPath.empty())
        return Usage();
    try {
        const std::vector<std::uint8_t> stub = ReadFile(stubPath);
        // All four first: a generator failure then leaves no part of a set behind.
        std::vector<std::vector<std::uint8_t>> files;
        for (std::size_t i = 0; i < StandIns::Files.size(); ++i)
            files.push_back(StandIns::Generate(i, stub, old));
        fs::create_directories(outDir);
        for (std::size_t i = 0; i < files.size(); ++i)
            WriteFile(fs::path(outDir) / StandIns::Files[i].FileName, files[i]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "standins: %s\n", e.what());
        return 1;
    }
}
