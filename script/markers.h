// The script's chart markers (MARKERS, MARK): a table of TChartMarker
// records numbered from 1, kept until the next MARKERS or the end of the
// program. Both chart plotters draw them through the chart inputs; the main
// window installs MarkerInputs into its TChartInputs at start.
#pragma once

#include <cstdint>
#include <vector>

#include "chart/render_inputs.h"

// The table: records 1..MarkerCapacity at index 0..capacity-1; an unset
// record has RA -1.0 and every other field zero.
extern std::vector<TChartMarker> Markers;
// Highest marker number set.
extern int32_t MarkerCount;
int32_t MarkerCapacity();
// True while a table exists (MARKERS with a count above 0 ran).
bool MarkerTableExists();

// Makes an empty table of `capacity` records (0 frees it); false when the
// memory cannot be had.
bool CreateMarkerTable(int32_t capacity);
// Frees the table (program exit).
void FreeMarkers();

// Marker `index` (1-based) for the chart; false for an unset or absent one.
bool ScriptMarker(int32_t index, TChartMarker& marker);
// Fills the two marker hooks of the chart inputs.
void MarkerInputs(TChartInputs& inputs);
