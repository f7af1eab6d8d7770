// Building and reading passwords documents of 1,000, 10,000 and 100,000 accounts: the time per
// account must stay flat as documents grow, and parsing must keep up with libxml2 on the
// same text.
#include "BenchFigures.h"

#include "markup/CMarkup.h"
#include "passwords/AccountsXml.h"

#include <libxml/parser.h>
#include <malloc.h>

#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kSizes[] = {1000, 10000, 100000};

// Account i is of kind i % 3. The records are created one kind after the other, the order
// in which opening a file reads them and in which the writer walks them. Created in the
// order of i instead, each kind's records would lie among the other kinds' in memory, and
// at 100,000 accounts (far more than the processor's caches hold) every record written
// would bring in the cache lines of its neighbours of the other kinds: the ratio would then
// measure that layout rather than the writer.
const AccountLists& Lists(int count) {
    static std::map<int, AccountLists> cache;
    auto [it, added] = cache.try_emplace(count);
    if (added) {
        for (size_t k = 0; k < kAccountKinds.size(); ++k) {
            const AccountKind kind = kAccountKinds[k];
            for (int i = static_cast<int>(k); i < count; i += 3) {
                const std::string n = std::to_string(i);
                Account* a =
                    it->second.GetAccount(kind, it->second.AddAccount(kind, "Account " + n));
                for (AccountField field : RecordFields(kind)) {
                    if (field != AccountField::Name) {
                        *a->Field(field) = "value " + n + " with <&> and more text";
                    }
                }
                if (std::string* notes = a->Field(AccountField::Notes)) {
                    *notes = "first line of notes " + n + "\r\nsecond line\r\nthird line";
                }
            }
        }
    }
    return it->second;
}

const std::string& Text(int count) {
    static std::map<int, std::string> cache;
    auto [it, added] = cache.try_emplace(count);
    if (added) {
        it->second = WriteAccountsXml(Lists(count));
    }
    return it->second;
}

std::string Name(const char* what, int count) {
    return std::string(what) + "_" + std::to_string(count);
}

void Build(benchmark::State& state, int count) {
    const AccountLists& lists = Lists(count);
    for (auto _ : state) {
        std::string text = WriteAccountsXml(lists);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void Read(benchmark::State& state, int count) {
    const std::string& text = Text(count);
    for (auto _ : state) {
        AccountLists lists;
        ReadAccountsXml(text, lists);
        if (lists.GetSlotCount(AccountKind::Web) != (count + 2) / 3) {
            state.SkipWithError("accounts lost");
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void SetText(benchmark::State& state, int count) {
    const std::string& text = Text(count);
    for (auto _ : state) {
        CMarkup m;
        if (!m.SetText(text)) {
            state.SkipWithError("parse failed");
        }
        benchmark::DoNotOptimize(m.IndexUsed());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The reference: libxml2 reading the same bytes into its tree, without transcoding them.
void LibXml(benchmark::State& state, int count) {
    const std::string& text = Text(count);
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "bench.xml",
                                      "UTF-8", XML_PARSE_NONET);
        if (doc == nullptr) {
            state.SkipWithError("libxml2 failed");
        }
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

} // namespace

int main(int argc, char** argv) {
    // Every size reuses the heap from one iteration to the next. Otherwise glibc serves the
    // blocks of the largest documents, past its 32 MiB mapping ceiling, from fresh mappings
    // each time, and the page faults of that, not the code under test, decide the ratio.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    xmlInitParser();
    for (int count : kSizes) {
        for (const auto& [what, run] :
             {std::pair{"BM_Build", &Build}, std::pair{"BM_Read", &Read}}) {
            benchmark::RegisterBenchmark(Name(what, count).c_str(), run, count)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Repetitions(5);
        }
    }
    const int largest = kSizes[std::size(kSizes) - 1];
    benchmark::RegisterBenchmark(Name("BM_SetText", largest).c_str(), SetText, largest)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(Name("BM_LibXml", largest).c_str(), LibXml, largest)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();

    // The repetitions of all sizes run interleaved, so that a busy spell on the machine slows
    // runs of every size rather than all the runs of one; the fastest run of each counts.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    const int rc = RunBenchmarksWithFigures(count, args.data(), [&](const BenchTimes& t) {
        auto perAccount = [&](const char* what, int count) { return t[Name(what, count)] / count; };
        for (const char* what : {"BM_Build", "BM_Read"}) {
            if (perAccount(what, 10000) > 0 && perAccount(what, largest) > 0) {
                PrintFigure(
                    std::string(what == std::string("BM_Build") ? "markup_build" : "markup_read") +
                        "_per_account_100k_vs_10k",
                    perAccount(what, largest) / perAccount(what, 10000), "<=1.3");
            }
        }
        if (t[Name("BM_SetText", largest)] > 0) {
            PrintFigure("markup_settext_vs_libxml2",
                        t[Name("BM_LibXml", largest)] / t[Name("BM_SetText", largest)], ">=1.0");
        }
    });
    xmlCleanupParser();
    return rc;
}
