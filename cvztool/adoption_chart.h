// The adoption chart of `cvztool report --svg`: machines on each version at the end
// of every day, one coloured line per version with a legend, as an SVG picture that
// any browser opens.
#pragma once

#include <string>

#include "cvztool/adoption_report.h"

namespace adoption_chart {

// The whole SVG document. Each version's line is a <polyline> with the attribute
// data-version="V"; a history without days draws the empty axes and says so.
std::string ChartSvg(const adoption_report::AdoptionHistory& history);

}  // namespace adoption_chart
