// What a hive of a given size costs: parsing and writing the file, a typed
// read from the cached hive, and a value set (lock, re-read, write, rename).
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

using namespace zyr::registry;

namespace {

RegistryHive MakeHive(int values)
{
    RegistryHive hive("HKEY_LOCAL_MACHINE");
    RegistryKey& key = hive.Create({"Software", "Tarnwick", "ZYR"});
    for (int i = 0; i < values; ++i) {
        std::string text = "value number " + std::to_string(i);
        key.SetValue("v" + std::to_string(i), REG_SZ, std::vector<BYTE>(text.begin(), text.end() + 1));
    }
    return hive;
}

void ParseHiveFile(benchmark::State& state)
{
    std::string file =
        WriteRegFile(MakeHive(static_cast<int>(state.range(0))).Root(), "HKEY_LOCAL_MACHINE", false);
    for (auto _ : state) {
        RegFileDocument document;
        RegFileError error;
        ParseRegFile(file, document, error);
        RegistryHive hive("HKEY_LOCAL_MACHINE");
        ApplyRegFile(document, HiveId::Machine, hive);
        benchmark::DoNotOptimize(hive.Root().SubKeyCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(ParseHiveFile)->Arg(100)->Arg(2000);

void WriteHiveFile(benchmark::State& state)
{
    RegistryHive hive = MakeHive(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteRegFile(hive.Root(), "HKEY_LOCAL_MACHINE", false));
    }
}
BENCHMARK(WriteHiveFile)->Arg(100)->Arg(2000);

class StoreFixture : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override
    {
        char pattern[] = "/tmp/zyr-registry-bench-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        SetLocation(Location{dir_, dir_});
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick\\ZYR", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
        for (int i = 0; i < 200; ++i) {
            DWORD value = static_cast<DWORD>(i);
            std::string name = "v" + std::to_string(i);
            RegSetValueExA(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        }
    }
    void TearDown(const benchmark::State&) override
    {
        RegCloseKey(key_);
        ResetLocation();
        std::filesystem::remove_all(dir_);
    }

protected:
    std::string dir_;
    HKEY key_ = nullptr;
};

BENCHMARK_F(StoreFixture, ReadDwordFromCachedHive)(benchmark::State& state)
{
    DWORD value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadDword(key_, "v150", value));
    }
}

BENCHMARK_F(StoreFixture, SetValueInHiveOf200)(benchmark::State& state)
{
    DWORD value = 0;
    for (auto _ : state) {
        ++value;
        RegSetValueExA(key_, "counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    }
}

} // namespace
