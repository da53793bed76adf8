// Collects the paired runs of the workloads and prints one table row for each:
// the median time per call of each side and the median ratio Karvo/GMP within
// a round (the medians over repetitions, when runs repeat). Runs may come in
// any order; the rows come out in the order given.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::BenchmarkReporter {
  public:
    explicit RatioReporter(std::vector<std::string> order) : order_(std::move(order)) {}
    bool ReportContext(const Context &context) override;
    void ReportRuns(const std::vector<Run> &runs) override;
    void Finalize() override;

  private:
    struct Row {
        double karvo = -1, gmp = -1, ratio = -1;
    };
    std::vector<std::string> order_;
    std::map<std::string, Row> rows_;
};
