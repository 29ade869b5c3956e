// The table of 19 annual meteor showers: shown on two pages and printed
// through TAutoTable, and read by the events calendar for its peaks.
#pragma once

#include <string>

#include "platform/drawing.h"

struct TMeteorShower {
  const char* name;
  const char* maximum;   // MMDD of the peak
  const char* activity;  // MMDD of the start and DD days of activity
  const char* radiant;   // constellation abbreviation
  const char* description;
};

inline constexpr int kMeteorShowerCount = 19;
// Index 1..19; entry 0 is empty.
extern const TMeteorShower MeteorShowers[kMeteorShowerCount + 1];
// "January", "Febuary", ... "December" (index 1..12), as the calendar shows them.
extern const char* const FullMonthNames[13];

inline constexpr const char* kMeteorShowerColumns =
    "Meteor Shower:150,Date of Maximum:125,Days of activity:110,Radiant:75,Description:200";

// The table row of shower i (1..19), cells separated by ",".
std::string MeteorShowerRow(int i);

// Draws page `page` (1 or 2) of the table on a paint box of w x h device
// units; true when rows remain after this page ("[MORE]" is drawn).
bool DrawMeteorShowerPage(platform::DrawingContext& dc, int w, int h, int page);

// Draws the whole table on printer pages of w x h; newPage() starts the
// next page. Returns the number of pages.
template <typename NewPage>
int PrintMeteorShowerTable(platform::DrawingContext& dc, int w, int h, NewPage newPage);
int PrintMeteorShowerTablePages(platform::DrawingContext& dc, int w, int h, void (*newPage)(void*), void* ctx);

template <typename NewPage>
int PrintMeteorShowerTable(platform::DrawingContext& dc, int w, int h, NewPage newPage) {
  return PrintMeteorShowerTablePages(dc, w, h, [](void* c) { (*static_cast<NewPage*>(c))(); }, &newPage);
}
