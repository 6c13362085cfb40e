// Cost of reading the settings file as it grows: linear in the entries of
// the ignored list, and a file over the size limit is refused without being
// parsed, however large it is.
#include "shared/preferences/PlistSettingsFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace velmora;

namespace {

constexpr const char* kDomain = "com.brightfen.velmora";

class BenchFolder {
public:
    BenchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~BenchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

void BM_ReadIgnoredList(benchmark::State& state)
{
    BenchFolder folder;
    PlistSettingsFile store(folder.path());
    Value::Array entries;
    for (int64_t i = 0; i < state.range(0); ++i)
        entries.push_back("org.example.Application" + std::to_string(i));
    store.update(kDomain, [&](std::optional<Value::Dictionary>& domain) {
        domain = Value::Dictionary{{"ignoredApps", entries}, {"playsSoundOnMove", Value(1)}};
        return true;
    });
    for (auto _ : state)
        benchmark::DoNotOptimize(store.read(kDomain));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadIgnoredList)->RangeMultiplier(10)->Range(10, 10000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

// A file of a million keys (41 MB): refused at its size.
void BM_RefuseOversizedFile(benchmark::State& state)
{
    BenchFolder folder;
    {
        std::ofstream out(folder.path() + "/" + kDomain + ".plist");
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
        for (int i = 0; i < 1000000; ++i)
            out << "\t<key>k" << i << "</key>\n\t<string>v</string>\n";
        out << "</dict>\n</plist>\n";
    }
    PlistSettingsFile store(folder.path());
    for (auto _ : state)
        benchmark::DoNotOptimize(store.read(kDomain)); // logged once, then silent
}
BENCHMARK(BM_RefuseOversizedFile)->Unit(benchmark::kMicrosecond);

} // namespace
