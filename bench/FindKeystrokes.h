// What the find benchmarks of both trees share: the keystrokes a user types into a find field
// and their timing until the window is idle again, against a plain case-insensitive linear
// scan of the names in the same run. The first keystroke folds every item's texts into the
// index once; it is reported on its own.
#pragma once

#include "GuiBench.h"

#include <benchmark/benchmark.h>

#include <QLineEdit>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "controls/TreeFinder.h"

namespace find_bench {

// Words grown a letter at a time, taken back, and typed anew, with an empty field after each.
inline std::vector<QString> Keystrokes(std::initializer_list<const char*> words) {
    std::vector<QString> texts;
    for (const char* word : words) {
        const QString full = QString::fromUtf8(word);
        for (int n = 1; n <= full.size(); ++n) {
            texts.push_back(full.left(n));
        }
        for (int n = full.size() - 1; n >= 1; --n) {
            texts.push_back(full.left(n));
        }
        texts.push_back(QString());
    }
    return texts;
}

inline double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * values.size()));
    return values[at];
}

struct FindFigures {
    double p95Ms = 0;
    double scanP95Ms = 0;
    double indexMs = 0;
};

// Types `texts` into the finder's field three times over and prints the timings.
inline FindFigures MeasureFind(TreeFinder* finder, const std::vector<QString>& names,
                               const std::vector<QString>& texts) {
    using Clock = std::chrono::steady_clock;
    auto msSince = [](Clock::time_point start) {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    QLineEdit* field = finder->Field();
    FindFigures figures;
    const auto buildStart = Clock::now();
    field->setText(texts.front());
    SettleWindows();
    figures.indexMs = msSince(buildStart);
    field->clear();
    SettleWindows();

    std::vector<double> keystrokes, scans;
    size_t shown = 0;
    for (int round = 0; round < 3; ++round) {
        for (const QString& text : texts) {
            const auto start = Clock::now();
            field->setText(text);
            SettleWindows();
            keystrokes.push_back(msSince(start));
            shown += static_cast<size_t>(finder->ResultCount());
            if (text.isEmpty()) {
                continue;
            }
            const auto scanStart = Clock::now();
            size_t found = 0;
            for (const QString& name : names) {
                found += name.contains(text, Qt::CaseInsensitive) ? 1 : 0;
            }
            scans.push_back(msSince(scanStart));
            benchmark::DoNotOptimize(found);
        }
    }
    figures.p95Ms = Percentile(keystrokes, 0.95);
    figures.scanP95Ms = Percentile(scans, 0.95);
    std::printf("%zu keystrokes: median %.2f ms, p95 %.2f ms, worst %.2f ms; linear name scan "
                "median %.2f ms, p95 %.2f ms; index built in %.1f ms; %zu rows shown in all\n",
                keystrokes.size(), Percentile(keystrokes, 0.5), figures.p95Ms,
                Percentile(keystrokes, 1.0), Percentile(scans, 0.5), figures.scanP95Ms,
                figures.indexMs, shown);
    return figures;
}

} // namespace find_bench
