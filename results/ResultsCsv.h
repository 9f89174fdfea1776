#pragma once

#include "results/TCsvForm.h"

#include <QByteArray>

class TSeriesResults;
struct TRunSamples;

// The series' results and a run's samples as CSV files.
namespace ResultsCsv {

// One line per run in order, then the lines n, mean, sd, cov_pct, min, max.
QByteArray series(const TSeriesResults& results, const TCsvForm& form);
// time_ms (from the run's first load), load_kn, speed, deformation_mm.
QByteArray samples(const TRunSamples& run, const TCsvForm& form);

} // namespace ResultsCsv
