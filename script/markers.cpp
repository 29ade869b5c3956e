#include "script/markers.h"

#include <new>

std::vector<TChartMarker> Markers;
int32_t MarkerCount = 0;

int32_t MarkerCapacity() { return int32_t(Markers.size()); }
bool MarkerTableExists() { return !Markers.empty(); }

bool CreateMarkerTable(int32_t capacity) {
  FreeMarkers();
  if (capacity <= 0) return true;
  try {
    TChartMarker unset;
    unset.RA = -1.0;
    unset.Dec = 0;
    unset.PenWidth = 0;
    unset.Join = 0;
    unset.Color = 0;
    Markers.assign(std::size_t(capacity), unset);
  } catch (const std::bad_alloc&) {
    Markers.clear();
    return false;
  }
  return true;
}

void FreeMarkers() {
  Markers = {};
  MarkerCount = 0;
}

bool ScriptMarker(int32_t index, TChartMarker& marker) {
  if (index < 1 || index > MarkerCount || index > MarkerCapacity()) return false;
  const TChartMarker& m = Markers[std::size_t(index - 1)];
  if (m.RA == -1.0) return false;
  marker = m;
  return true;
}

void MarkerInputs(TChartInputs& inputs) {
  inputs.markerCount = [] { return MarkerCount; };
  inputs.marker = [](int32_t index, TChartMarker& marker) { return ScriptMarker(index, marker); };
}
