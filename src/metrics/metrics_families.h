#pragma once

#include "metrics/site_sample.h"

#include <prometheus/metric_family.h>

#include <string>
#include <vector>

// The metric families of the sites' samples, in the Prometheus text format's
// model. Labels stay bounded: one series per site, per Tuxedo program (its
// processes summed), per queue's server program, per client status, per
// WebLogic server and JDBC pool, never one per Tuxedo client or process.
// Values the agent did not send as numbers ("N/A") are left out; a site that
// is not up has only its scan figures.
std::vector<prometheus::MetricFamily> BuildMetricFamilies(const std::vector<SiteSample>& samples);

// The same, as the text a scrape of /metrics returns.
std::string RenderMetrics(const std::vector<SiteSample>& samples);
