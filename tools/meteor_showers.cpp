#include "tools/meteor_showers.h"

#include <algorithm>
#include <cmath>

#include "tools/auto_table.h"

const TMeteorShower MeteorShowers[kMeteorShowerCount + 1] = {
    {"", "", "", "", ""},
    {"Quadrantid", "0104", "010106", "Boo", "Fairly rapid, blue"},
    {"Corona Australid", "0316", "031405", "CrA", ""},
    {"Lyrid", "0421", "041906", "Lyr", "Brilliant and rapid"},
    {"n-Aquarid", "0505", "050108", "Aqr", "Persistant and rapid"},
    {"Lyrid", "0615", "061012", "Lyr", "Blue"},
    {"Ophiuchid", "0620", "061710", "Oph", ""},
    {"Capricornid", "0725", "071037", "Cap", "Yellow and very slow"},
    {"d-Aquarid", "0728", "071532", "Aqr", "Slow with long paths"},
    {"Pisces Australid", "0820", "071537", "PsA", ""},
    {"a-Capricornid", "0825", "071542", "Cap", "Yellow"},
    {"i-Aquarid", "0825", "071542", "Aqr", ""},
    {"Perseid", "0812", "072525", "Per", "Rapid and fragmenting"},
    {"k-Cygnid", "0820", "081805", "Cyg", "Bright and exploding"},
    {"Orionid", "1021", "101611", "Ori", "Persistant and rapid"},
    {"Taurid", "1101", "103030", "Tau", "Brilliant and slow"},
    {"Leonid", "1117", "111505", "Leo", "Persistant and rapid"},
    {"Phoenicid", "1204", "120401", "Phe", ""},
    {"Geminid", "1214", "120709", "Gem", "White"},
    {"Ursid", "1222", "121708", "Umi", ""},
};

const char* const FullMonthNames[13] = {"",     "January", "Febuary", "March",     "April",   "May",     "June",
                                        "July", "August",  "September", "October", "November", "December"};

std::string MeteorShowerRow(int i) {
  if (i < 1 || i > kMeteorShowerCount) return std::string();
  const TMeteorShower& m = MeteorShowers[i];
  const std::string max = m.maximum;
  const int month = std::stoi(max.substr(0, 2));
  const int days = std::stoi(std::string(m.activity).substr(4, 2));
  const long half = std::lround(std::nearbyint(days / 2.0 + 0.25));
  return std::string(m.name) + "," + FullMonthNames[month] + " " + max.substr(2, 2) + ",    ±" +
         std::to_string(half) + "," + m.radiant + "," + m.description;
}

namespace {

void SetUpTable(TAutoTable& t, platform::DrawingContext& dc, int w, int h) {
  t.Title = "Noctra Planetarium";
  t.Header = "Meteor Showers";
  t.AddLine(dc, w, h, kMeteorShowerColumns);
}

}  // namespace

bool DrawMeteorShowerPage(platform::DrawingContext& dc, int w, int h, int page) {
  page = std::clamp(page, 1, 2);
  TAutoTable t;
  SetUpTable(t, dc, w, h);
  int i = (t.LinesPerPage + 1) * (page - 1) + 1;
  for (; i <= kMeteorShowerCount; ++i)
    if (t.Draw(dc, MeteorShowerRow(i))) {
      ++i;
      break;
    }
  if (i > kMeteorShowerCount) return false;
  dc.SetTextAlign(platform::kAlignLeft | platform::kAlignTop);
  const QSize e = dc.TextExtent("[MORE]");
  dc.TextOut(w - int(std::nearbyint(1.5 * e.width())), h - int(std::nearbyint(1.5 * e.height())), "[MORE]");
  return true;
}

int PrintMeteorShowerTablePages(platform::DrawingContext& dc, int w, int h, void (*newPage)(void*), void* ctx) {
  TAutoTable t;
  SetUpTable(t, dc, w, h);
  int pages = 1;
  for (int i = 1; i <= kMeteorShowerCount; ++i)
    if (t.Draw(dc, MeteorShowerRow(i)) && i < kMeteorShowerCount) {
      newPage(ctx);
      ++pages;
    }
  return pages;
}
