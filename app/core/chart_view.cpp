#include "app/core/chart_view.h"

TPendingChartView::TPendingChartView() {
  switches_[int(TChartSwitch::ConstellationLines)] = 2;
  switches_[int(TChartSwitch::ConstellationNames)] = 2;
  switches_[int(TChartSwitch::HorizonDisplay)] = 1;
}

void TPendingChartView::CentreOn(double ra, double dec) {
  centreRA = ra;
  centreDec = dec;
  fullView_ = false;
  replot_ = true;
}
