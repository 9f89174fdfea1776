#pragma once

#include "results/TRunSamples.h"
#include "results/TSeriesDetails.h"

#include <QString>

#include <optional>
#include <vector>

class TIBDatabase;
class TIBQuery;

// Reads series, runs and samples for the results, in one read-only
// transaction of its own. Every statement of the results is here.
class TSeriesReader {
public:
    explicit TSeriesReader(TIBDatabase& db);

    // Throws Exception when the database lacks the program's tables.
    void checkSchema();
    std::optional<TSeriesDetails> series(int id);
    // The series' runs in order of MES_ID, each with its load readings, its
    // operator and its seal.
    std::vector<TRunSamples> runs(int seriesId);
    std::optional<TRunSamples> run(int runId);

private:
    std::vector<TRunSamples> readRuns(TIBQuery& q);
    void addTrace(std::vector<TRunSamples>& runs, const QString& sql, int id);

    TIBDatabase& m_db;
};
