// Reading one value from the settings file: a file changed within the last second is scanned
// whole at every call, an older one once (later calls read its section from what was learnt).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "IniFile.h"

namespace {

// A settings file of nLines lines, the key asked for in its last section.
class CBenchFile {
public:
    explicit CBenchFile(std::size_t nLines) {
        m_strPath =
            "/tmp/dive-bench-" + std::to_string(::getpid()) + "-" + std::to_string(nLines) + ".ini";
        std::string strContent = "; generated\n[BULK]\n";
        for (std::size_t n = 0; n + 4 < nLines; ++n) {
            strContent +=
                "KEY" + std::to_string(n) + " = value of line " + std::to_string(n) + "\n";
        }
        strContent += "[PORT]\nCOM=3\n";
        std::ofstream(m_strPath, std::ios::binary) << strContent;
        m_nSize = strContent.size();
    }
    ~CBenchFile() { std::remove(m_strPath.c_str()); }
    CBenchFile(const CBenchFile&) = delete;
    CBenchFile& operator=(const CBenchFile&) = delete;

    const std::string& GetPath() const { return m_strPath; }
    std::size_t GetSize() const { return m_nSize; }

private:
    std::string m_strPath;
    std::size_t m_nSize = 0;
};

void BM_ReadInt(benchmark::State& state) {
    const CBenchFile file(static_cast<std::size_t>(state.range(0)));
    const CIniFile ini(file.GetPath());
    for (auto _ : state) {
        benchmark::DoNotOptimize(ini.ReadInt("PORT", "COM", 0));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.GetSize()));
    state.counters["file_bytes"] = static_cast<double>(file.GetSize());
}
// 1,000 lines, and about 50 MiB.
BENCHMARK(BM_ReadInt)->Arg(1000)->Arg(1600000)->Unit(benchmark::kMicrosecond);

void BM_WriteInt(benchmark::State& state) {
    const CBenchFile file(static_cast<std::size_t>(state.range(0)));
    CIniFile ini(file.GetPath());
    int nValue = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ini.WriteInt("PORT", "COM", ++nValue % 32));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.GetSize()));
}
BENCHMARK(BM_WriteInt)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
