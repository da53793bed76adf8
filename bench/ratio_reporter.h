// Collects the runs named "<workload>/<size>:karvo" and "<workload>/<size>:gmp"
// and prints one table row per pair: the two times (the medians, when runs
// repeat) and their ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context &context) override;
    void ReportRuns(const std::vector<Run> &runs) override;
    void Finalize() override;

  private:
    struct Row {
        double karvo = -1, gmp = -1;
    };
    std::vector<std::string> order_;
    std::map<std::string, Row> rows_;
};
