// Every fuzz target over its seed corpus, and over inputs made from the
// seeds by a fixed sequence of small changes: the invariants hold in the
// ordinary test run too, without a fuzzing compiler.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_targets.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::vector<std::string> g_failures;

void Record(const std::string& what) { g_failures.push_back(what); }

Bytes ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<Bytes> Seeds(const std::string& target)
{
    std::vector<Bytes> out;
    const fs::path folder = fs::path(TOVASK_FUZZ_CORPUS) / target;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files)
        out.push_back(ReadFile(f));
    return out;
}

// One small change: flip a bit, set a byte, drop or insert a byte, cut the tail.
Bytes Mutated(Bytes in, std::mt19937& rng)
{
    const int what = static_cast<int>(rng() % 5);
    const std::size_t at = in.empty() ? 0 : rng() % in.size();
    switch (what) {
    case 0:
        if (!in.empty())
            in[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        break;
    case 1:
        if (!in.empty())
            in[at] = static_cast<std::uint8_t>(rng());
        break;
    case 2:
        if (!in.empty())
            in.erase(in.begin() + static_cast<long>(at));
        break;
    case 3:
        in.insert(in.begin() + static_cast<long>(at), static_cast<std::uint8_t>(rng()));
        break;
    default:
        in.resize(at);
        break;
    }
    return in;
}

class FuzzCorpus : public ::testing::TestWithParam<FuzzTarget> {
protected:
    void SetUp() override
    {
        g_failures.clear();
        m_previous = SetFuzzFailHandler(Record);
    }
    void TearDown() override { SetFuzzFailHandler(m_previous); }

    void Run(const Bytes& input, const std::string& label)
    {
        GetParam().run(input.data(), input.size());
        for (const std::string& f : g_failures)
            ADD_FAILURE() << label << ": " << f;
        g_failures.clear();
    }

private:
    FuzzFailHandler m_previous = nullptr;
};

}  // namespace

TEST_P(FuzzCorpus, SeedsKeepTheInvariants)
{
    const std::vector<Bytes> seeds = Seeds(GetParam().name);
    ASSERT_GE(seeds.size(), 3u) << "seed corpus of " << GetParam().name;
    for (std::size_t i = 0; i < seeds.size(); ++i)
        Run(seeds[i], "seed " + std::to_string(i));
}

TEST_P(FuzzCorpus, ChangedSeedsKeepTheInvariants)
{
    const std::vector<Bytes> seeds = Seeds(GetParam().name);
    ASSERT_FALSE(seeds.empty());
    std::mt19937 rng(7);
    for (int n = 0; n < 400; ++n) {
        Bytes input = seeds[static_cast<std::size_t>(n) % seeds.size()];
        for (int k = 0, changes = 1 + static_cast<int>(rng() % 4); k < changes; ++k)
            input = Mutated(std::move(input), rng);
        Run(input, "change " + std::to_string(n));
        if (HasFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(fuzzTargets),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) { return std::string(info.param.name); });
