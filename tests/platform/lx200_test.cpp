// LX200-family mounts through the driver: the command language's readers
// and writers, and the driver against a fake mount on a pseudo-terminal and
// on a local TCP port, its failures included.
#include <gtest/gtest.h>

#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <tuple>

#include "platform/automation_lx200.h"
#include "platform/gui_thread.h"
#include "platform/lx200_protocol.h"
#include "tests/support/fake_lx200.h"
#include "tests/support/test_support.h"

using platform::TLx200Reply;
using platform::TVariant;
using testing_support::TFakeLx200;

namespace {

bool Sent(const TFakeLx200& fake, const std::string& cmd) { return fake.Count(cmd) > 0; }

template <class F>
bool WaitFor(F done, int ms = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

platform::TAutomationRef Connect(const TFakeLx200& fake) {
  platform::RegisterLx200Drivers();
  auto m = platform::CreateOleObject(fake.Id());
  m->Put("Connected", true);
  return m;
}

}  // namespace

// Sexagesimal fields as LX200 mounts write them; the values are the fields'
// sums (degrees + minutes / 60 + seconds / 3600).
TEST(Lx200Protocol, NumbersAreReadAndWrittenInBothPrecisions) {
  const std::pair<const char*, double> good[] = {
      {"12:34:56#", 12 + 34 / 60.0 + 56 / 3600.0}, {"12:34.5#", 12 + 34.5 / 60.0},
      {"+45*12'34#", 45 + 12 / 60.0 + 34 / 3600.0}, {"-05*12#", -(5 + 12 / 60.0)},
      {"+45\xdf" "12:34", 45 + 12 / 60.0 + 34 / 3600.0}, {"123*45", 123.75},
      {"-00*30:00", -0.5}, {"12:34:56.25", 12 + 34 / 60.0 + 56.25 / 3600.0}};
  for (const auto& [text, want] : good) {
    double v = -999;
    EXPECT_TRUE(platform::ParseLx200Sexagesimal(text, v)) << text;
    EXPECT_NEAR(v, want, 1e-12) << text;
  }
  for (const char* bad : {"", "#", "12", "12:60:00", "ab:cd", "12:34:", "12::34", "1234:00", "12:34.5:10", "+-1:00"}) {
    double v = 0;
    EXPECT_FALSE(platform::ParseLx200Sexagesimal(bad, v)) << bad;
  }
  // Rounded to the last digit, carried into the next field and turn.
  EXPECT_EQ(platform::FormatLx200Hours(23.99999, true), "00:00:00");
  EXPECT_EQ(platform::FormatLx200Hours(5.5, false), "05:30.0");
  EXPECT_EQ(platform::FormatLx200Degrees(-0.5, true), "-00*30:00");
  EXPECT_EQ(platform::FormatLx200Degrees(45.2094, false), "+45*13");
  // 10.5° east is 349.5° west on the line; 71.25° west stays so.
  EXPECT_EQ(platform::FormatLx200Longitude(10.5), "349*30");
  EXPECT_EQ(platform::FormatLx200Longitude(-71.25), "071*15");
  double n = 0;
  EXPECT_TRUE(platform::ParseLx200Number("80.000000#", n));
  EXPECT_EQ(n, 80.0);
  EXPECT_TRUE(platform::ParseLx200Number("+012", n));
  EXPECT_EQ(n, 12.0);
  EXPECT_FALSE(platform::ParseLx200Number("1,2#", n));
}

TEST(Lx200Protocol, RepliesAreFramedByTheirShape) {
  EXPECT_EQ(platform::Lx200ReplyOf(":GR#"), TLx200Reply::Text);
  EXPECT_EQ(platform::Lx200ReplyOf(":Sr12:00:00#"), TLx200Reply::Bool);
  EXPECT_EQ(platform::Lx200ReplyOf(":MS#"), TLx200Reply::Goto);
  EXPECT_EQ(platform::Lx200ReplyOf(":Mn#"), TLx200Reply::None);
  EXPECT_EQ(platform::Lx200ReplyOf(":A1#"), TLx200Reply::Bool);
  EXPECT_EQ(platform::Lx200ReplyOf(":WR+#"), TLx200Reply::Bool);
  EXPECT_EQ(platform::Lx200ReplyOf(":WR0001,+005#"), TLx200Reply::None);
  EXPECT_EQ(platform::Lx200ReplyOf(":SC01/15/26#"), TLx200Reply::Date);
  EXPECT_EQ(platform::Lx200ReplyOf(":$QZ?#"), TLx200Reply::Text);

  platform::TLx200Framer ok(TLx200Reply::Goto);
  EXPECT_EQ(ok.Feed("0#", 2), 1u);  // the "#" is no part of it
  EXPECT_TRUE(ok.Done());
  platform::TLx200Framer refused(TLx200Reply::Goto);
  refused.Feed("1", 1);
  EXPECT_TRUE(refused.Optional()) << "OnStep sends the code alone";
  refused.Feed("Object Below Horizon#", 21);
  EXPECT_TRUE(refused.Done());
  EXPECT_EQ(refused.Text(), "1Object Below Horizon#");
  platform::TLx200Framer yes(TLx200Reply::Bool);
  EXPECT_EQ(yes.Feed("1#", 2), 1u);
  EXPECT_TRUE(yes.Done());
  platform::TLx200Framer noise(TLx200Reply::Text);
  const std::string junk(100, '~');
  noise.Feed(junk.data(), junk.size());
  EXPECT_TRUE(noise.Garbled());

  EXPECT_TRUE(platform::IsLx200Command(":GR#"));
  for (const char* bad : {"GR#", ":GR", ":G\nR#", ":G#R#", ":"})
    EXPECT_FALSE(platform::IsLx200Command(bad)) << bad;
  EXPECT_FALSE(platform::IsLx200Command(":" + std::string(39, 'G') + "#"));
}

// What each reply must look like; the values at the edges of each range.
TEST(Lx200Protocol, RepliesAreCheckedForFormAndRange) {
  const std::tuple<const char*, const char*, bool> cases[] = {  // command, reply, valid
      {":GR#", "23:59:59#", true},      {":GR#", "24:00:00#", false},   {":GR#", "12:34.5#", true},
      {":GR#", "12:34:56", false},      {":GR#", "12:34:56##", false},  {":GD#", "+90*00:00#", true},
      {":GD#", "+95*00:00#", false},    {":GD#", "-89*59'59#", true},   {":GD#", "+45\xdf" "12:34#", true},
      {":Gt#", "-123*00#", false},      {":Gt#", "-33*30#", true},      {":Gg#", "349*30#", true},
      {":Gg#", "-071*15#", true},       {":Gg#", "-181*00#", false},    {":Gg#", "361*00#", false},
      {":GC#", "01/15/26#", true},      {":GC#", "13/15/26#", false},   {":GC#", "1/15/26#", false},
      {":GL#", "20:15:00#", true},      {":GL#", "2O:15:00#", false},   {":GS#", "25:00:00#", false},
      {":VS#", "20.000000#", true},     {":VS#", "0.000000#", true},    {":VS#", "2O.000000#", false},
      {":VS#", "-1#", false},           {":VW#", "009600#", true},      {":VW#", "9600.5#", false},
      {":VR12#", "+012#", true},        {":VR12#", "-5#", false},       {":VR12#", "+0x3#", false},
      {":VR12#", "40000#", false},      {":VR#", "+004,012#", true},    {":VR#", "+004#", false},
      {":GU#", "nNpET000#", true},      {":GU#", "nN\x01#", false},     {":GW#", "GT1#", true},
      {":GW#", "GX1#", false},          {":GVP#", "anything at all#", true},
      // A reply to another question, as a link that repeats a packet puts
      // it in the place of the next: no declination without its sign, no
      // time with one, no PEC entry but "sDDD", no status from a name.
      {":GD#", "23:45:39#", false},     {":Gt#", "33*30#", false},      {":GR#", "+20*00:00#", false},
      {":GS#", "-05*30#", false},       {":VR12#", "012#", false},      {":VR12#", "+0012#", false},
      {":VR#", "+004,12#", false},      {":VR#", "+004,-12#", false},   {":GU#", "On-Step#", false},
      {":GU#", "N/A#", false},
      // The target read back as the pointing is; the UTC offset in hours.
      {":Gr#", "03:00:00#", true},      {":Gr#", "+03*00:00#", false},  {":Gd#", "+12*30:00#", true},
      {":Gd#", "12:30:00#", false},     {":GG#", "+00#", true},         {":GG#", "-05#", true},
      {":GG#", "05#", true},            {":GG#", "+05.5#", true},       {":GG#", "+05:30#", true},
      {":GG#", "+25#", false},          {":GG#", "+05:75#", false},     {":GG#", "20:15:00#", false},
      // A board's words where the slew bar was waited for are none.
      {":D#", "\x7f#", true},          {":D#", "\r\nOnStep\r\n#", false}};
  for (const auto& [command, reply, valid] : cases)
    EXPECT_EQ(platform::Lx200ReplyValid(command, reply), valid) << command << " " << reply;
  // Only a query is asked again: a goto or a PEC write is never sent twice.
  EXPECT_FALSE(platform::IsLx200Query(":MS#"));
  EXPECT_FALSE(platform::IsLx200Query(":WR+#"));
  EXPECT_EQ(platform::Lx200Printable("a\x01#"), "a\\x01#");
  // A board's words: a line end and a letter or digit, which no reply and
  // no line noise brings.
  for (const char* words : {"\r\nOnStep 4.24k\r\n", "ready\n", "\x85\r\n4"})
    EXPECT_TRUE(platform::Lx200Banner(words)) << words;
  for (const char* none : {"06:00:00#", "\r\n", "1", "\x85\x90#", "#\r\n#"})
    EXPECT_FALSE(platform::Lx200Banner(none)) << none;
  // A sync answered with text that begins with a digit is no refusal.
  platform::TLx200Framer digits(TLx200Reply::Sync);
  digits.Feed("1 M31#", 6);
  EXPECT_TRUE(digits.Done());
  EXPECT_EQ(digits.Text(), "1 M31#");
}

// Sent twice, a command must leave the mount as sent once to be asked
// again; noise bytes make any reply bad; a line is told noisy once, by
// what its latest hundred replies needed.
TEST(Lx200Protocol, SecondAsksOnlyWhereHarmlessAndANoisyLineToldOnce) {
  for (const char* again : {":GR#", ":VR12#", ":D#", ":$QZ?#", ":SG+00#", ":SL20:15:00#", ":SC01/15/26#",
                            ":Sr10:30:00#", ":Sd-12*15:00#", ":St-33*30#", ":Sg349*30#", ":Te#", ":Td#"})
    EXPECT_TRUE(platform::Lx200MayAskAgain(again)) << again;
  for (const char* once : {":MS#", ":CM#", ":Mgn0500#", ":Mn#", ":hP#", ":hR#", ":hQ#", ":hC#", ":U#", ":A1#",
                           ":A+#", ":WR+#", ":WR0001,+005#", ":T+#", ":$QZZ#", ":ST60.1#", ":S#"})
    EXPECT_FALSE(platform::Lx200MayAskAgain(once)) << once;
  EXPECT_FALSE(platform::Lx200ReplyValid(":GVP#", "On-St\x85p#"));
  // A firmware version holds a digit; line noise in its place is none.
  for (const char* v : {"4.24k#", "2.9c#", "10.03h#", "43Eg#"}) EXPECT_TRUE(platform::Lx200ReplyValid(":GVN#", v)) << v;
  for (const char* v : {".|#", "#", "k#", "4.24k", " 4.2#"}) EXPECT_FALSE(platform::Lx200ReplyValid(":GVN#", v)) << v;
  EXPECT_FALSE(platform::Lx200ReplyValid(":SL20:15:00#", "\xc1"));
  EXPECT_TRUE(platform::Lx200ReplyValid(":CM#", " M31 EX GAL MAG 3.5 SZ178.0'#"));
  EXPECT_TRUE(platform::Lx200ReplyValid(":D#", "\x7f\x7f#"));
  EXPECT_TRUE(platform::Lx200ReplyValid(":GXEE#", "2"));
  EXPECT_FALSE(platform::Lx200ReplyValid(":GXEE#", "\x91"));

  platform::TLx200Retries early;
  EXPECT_FALSE(early.Count(true));
  EXPECT_FALSE(early.Count(false));
  EXPECT_FALSE(early.Count(true));
  EXPECT_TRUE(early.Count(true));
  EXPECT_EQ(early.Report(), "noisy line: 3 of the last 4 replies asked again");
  EXPECT_FALSE(early.Count(true)) << "told once";

  // Two second asks, then 100 good replies: both have left the window.
  platform::TLx200Retries slow;
  slow.Count(true), slow.Count(true);
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(slow.Count(false));
  EXPECT_FALSE(slow.Count(true));
  EXPECT_FALSE(slow.Count(true));
  EXPECT_TRUE(slow.Count(true));
  EXPECT_EQ(slow.Report(), "noisy line: 3 of the last 100 replies asked again");
  slow.Reset();
  slow.Count(true), slow.Count(true);
  EXPECT_TRUE(slow.Count(true)) << "a new connection is told again";
  EXPECT_EQ(slow.Report(), "noisy line: 3 of the last 3 replies asked again");
}

// OnStep's status, its PEC state, PEC entries and product names: noise
// that keeps the bytes printable and a "#" at the end is still told apart
// from a reply (a second park state, a digit inside the flags, an entry
// beyond a signed byte, a name the driver does not know).
TEST(Lx200Protocol, StatusPecStateEntriesAndNamesAreCheckedForForm) {
  for (const char* good : {"nNpET000", "NpRHGrsaE~W110", "nNP", "NI(ET000", "nNpRET000", "nNpET00:", "NFET21?",
                           "NpsE0", "NpHSGfrtwE3", "nNpehgOkuza^KT000"})
    EXPECT_TRUE(platform::Lx200StatusValid(good)) << good;
  for (const char* bad : {"nNpPET000", "nNET000", "nNpET00", "nNp1ET000", "nNpETW000", "nNpEKT000", "nNpnET000",
                          "nNp ET000", "nNpET0:0", "nNpET\x81" "00", "", "NpxET000", "Np-ET000", "NpET!000"})
    EXPECT_FALSE(platform::Lx200StatusValid(bad)) << bad;
  // A later firmware's letters keep the shape; signs, digits among the
  // flags and a second park state do not.
  for (const char* later : {"NpxET000", "nNpcbET000", "NpRHGrsaE~W110"})
    EXPECT_TRUE(platform::Lx200StatusShaped(later)) << later;
  for (const char* bad : {"Np-ET000", "NpET!000", "nNpPET000", "nNp1ET000", "Autostar", "nNpxxET000"})
    EXPECT_FALSE(platform::Lx200StatusShaped(bad)) << bad;
  const std::tuple<const char*, const char*, bool> cases[] = {  // command, reply, valid
      {":$QZ?#", "I#", true},       {":$QZ?#", "p#", true},       {":$QZ?#", "x#", false},
      {":$QZ?#", "#", false},       {":$QZ?#", "IpP#", false},    {":VR12#", "+127#", true},
      {":VR12#", "-128#", true},    {":VR12#", "+128#", false},   {":VR12#", "+929#", false},
      {":VR#", "+004,012#", true},  {":VR#", "+929,012#", false}, {":GU#", "nNpPET000#", false},
      {":GVP#", "On-Step#", true},  {":GVP#", "#", false}};
  for (const auto& [command, reply, valid] : cases)
    EXPECT_EQ(platform::Lx200ReplyValid(command, reply), valid) << command << " " << reply;
  for (const char* known : {"On-Step", "ONSTEPX", "Autostar", "Autostar II", "LX2001", "Audiostar"})
    EXPECT_TRUE(platform::Lx200ProductKnown(known)) << known;
  for (const char* unknown : {"On-Stxp", "Autoxtar", "", "Gemini"})
    EXPECT_FALSE(platform::Lx200ProductKnown(unknown)) << unknown;
  EXPECT_TRUE(platform::Lx200ProductOnStep("On-Step"));
  EXPECT_FALSE(platform::Lx200ProductOnStep("Autostar"));
}

// The marker that finds the mount's replies again takes a form that no
// reply still owed can have (a sidereal time is a time, an unknown reply
// may be a time or an angle); its reply is read at the end of what came,
// late bytes before it running into it or not.
TEST(Lx200Protocol, MarkersTakeAFormNoOwedReplyCanHave) {
  using V = std::vector<std::string>;
  const std::tuple<V, const char*, const char*> markers[] = {  // owed, product, marker
      {{":VR5#"}, "On-Step", ":GR#"},          {{":GR#"}, "", ":GD#"},
      {{":GS#"}, "", ":GD#"},                  {{":Gt#"}, "", ":GR#"},
      {{":GD#", ":GR#"}, "", ":GC#"},          {{":GD#", ":GR#", ":GC#"}, "On-Step", ":GVP#"},
      {{":GD#", ":GR#", ":GC#"}, "", ""},      {{":Zq#"}, "", ":GC#"},
      {{":MS#", ":Sr01:00:00#"}, "", ":GR#"},  {{":GVP#", ":GR#", ":GD#", ":GC#"}, "On-Step", ""}};
  for (const auto& [owed, product, marker] : markers)
    EXPECT_EQ(platform::Lx200Marker(owed, product), marker) << owed.front() << " " << owed.size();
  // The firmware version marks too, once known: a fourth marker after a
  // time or an angle; not a version without a letter, nor one that ends
  // the product name.
  const V four{":GD#", ":GR#", ":GC#", ":GVP#"};
  EXPECT_EQ(platform::Lx200Marker(four, "On-Step", "4.24k"), ":GVN#");
  EXPECT_EQ(platform::Lx200Marker(four, "On-Step", "4.24"), "");
  EXPECT_EQ(platform::Lx200Marker(four, "LX200 4.2g", "4.2g"), "");
  EXPECT_EQ(platform::Lx200Marker({":GVN#", ":GR#", ":GD#", ":GC#", ":GVP#"}, "On-Step", "4.24k"), "");
  std::size_t at = 0;
  EXPECT_TRUE(platform::Lx200MarkerHeard(":GVN#", "+012#4.24k#", "4.24k", at));
  EXPECT_EQ(at, 5u);
  EXPECT_FALSE(platform::Lx200MarkerHeard(":GVN#", "4.24#", "4.24k", at));
  const std::tuple<const char*, std::string, const char*, int> heard[] = {  // marker, received, product, start
      {":GR#", "06:00:00#", "", 0},          {":GR#", "106:00:00#", "", 1},
      {":GR#", "+012#06:30.5#", "", 5},      {":GR#", "+20*00:00#", "", -1},
      {":GR#", "24:00:00#", "", -1},         {":GR#", "06:00:00", "", -1},
      {":GD#", "06:00:00#-05*30'15#", "", 9}, {":GD#", "+45\xdf" "12#", "", 0},
      {":GD#", "12:34:56#", "", -1},         {":GD#", "+95*00:00#", "", -1},
      {":GD#", "+90*12'34#", "", -1},        {":GD#", "-90*00:00#", "", 0},
      {":GC#", "N/A#01/15/26#", "", 4},      {":GC#", "01/15/26", "", -1},
      {":GVP#", "xOn-Step#", "On-Step", 1},  {":GVP#", "On-Stxp#", "On-Step", -1}};
  for (const auto& [marker, received, product, start] : heard) {
    std::size_t at = 999;
    EXPECT_EQ(platform::Lx200MarkerHeard(marker, received, product, at), start >= 0) << marker << " " << received;
    if (start >= 0) {
      EXPECT_EQ(at, std::size_t(start)) << marker << " " << received;
    }
  }
  // A late reply is taken only when it is one whole reply.
  EXPECT_TRUE(platform::Lx200WholeReply(TLx200Reply::Bool, "1"));
  EXPECT_FALSE(platform::Lx200WholeReply(TLx200Reply::Bool, "1#"));
  EXPECT_TRUE(platform::Lx200WholeReply(TLx200Reply::Text, "+012#"));
  EXPECT_FALSE(platform::Lx200WholeReply(TLx200Reply::Text, "+012#06"));
  EXPECT_FALSE(platform::Lx200WholeReply(TLx200Reply::Text, "+01"));
  EXPECT_FALSE(platform::Lx200WholeReply(TLx200Reply::Text, ""));
  EXPECT_TRUE(platform::Lx200WholeReply(TLx200Reply::Goto, "1Object Below Horizon#"));
  EXPECT_EQ(platform::Lx200Consequence(":MS#"), "the mount may be moving");
  EXPECT_EQ(platform::Lx200Consequence(":CM#"), "the mount may have synced");
  EXPECT_EQ(platform::Lx200Consequence(":hP#"), "the mount may be parking");
}

TEST(Lx200Protocol, IdentifiersNameAPortOrAHost) {
  EXPECT_EQ(platform::ParseLx200Id("LX200:/dev/ttyUSB0").baud, 9600);
  EXPECT_EQ(platform::ParseLx200Id("LX200:/dev/ttyS0:19200").baud, 19200);
  const auto net = platform::ParseLx200Id("LX200:mount.local");
  EXPECT_FALSE(net.serial);
  EXPECT_EQ(net.port, 9999);
  EXPECT_EQ(platform::ParseLx200Id("LX200:10.0.0.5:4030").port, 4030);
  for (const char* bad : {"LX200:", "LX200:/dev/ttyS0:1234", "LX200:host:70000", "LX200:host:x"})
    EXPECT_THROW(platform::ParseLx200Id(bad), platform::EAutomationError) << bad;
  platform::RegisterLx200Drivers();
  for (const char* where : {"LX200:/nonexistent/tty:9600", "LX200:/dev/null:9600"}) {
    auto m = platform::CreateOleObject(where);
    EXPECT_THROW(m->Put("Connected", true), platform::EAutomationError) << where;
    EXPECT_FALSE(m->Get("Connected").AsBool());
  }
}

class Lx200Driver : public ::testing::TestWithParam<TFakeLx200::Transport> {};

TEST_P(Lx200Driver, OnStepMountAnswersEveryMember) {
  TFakeLx200 fake(GetParam());
  // A slew long enough to be seen slewing on a slow (sanitizer's) build.
  fake.Change([](TFakeLx200::State& s) { s.lowPrecision = true, s.slewMs = 2000; });
  auto m = Connect(fake);
  EXPECT_TRUE(m->Get("Connected").AsBool());
  const std::string info = m->Get("DriverInfo").AsString();
  EXPECT_NE(info.find("ON_STEP"), std::string::npos) << info;
  EXPECT_NE(info.find("On-Step 4.24k"), std::string::npos) << info;
  EXPECT_TRUE(Sent(fake, ":U#")) << "a low-precision mount is switched to high";
  EXPECT_NEAR(m->Get("RightAscension").AsDouble(), 6.0, 1e-9);
  EXPECT_NEAR(m->Get("Declination").AsDouble(), 20.0, 1e-9);
  EXPECT_TRUE(m->Get("DoesRefraction").AsBool()) << "topocentric mode: the mount refracts";

  m->Invoke("SlewToCoordinatesAsync", {TVariant(10.5), TVariant(-12.25)});
  EXPECT_TRUE(Sent(fake, ":Sr10:30:00#"));
  EXPECT_TRUE(Sent(fake, ":Sd-12*15:00#"));
  EXPECT_TRUE(m->Get("Slewing").AsBool());
  ASSERT_TRUE(WaitFor([&] { return !fake.Slewing(); }, 10000));
  EXPECT_FALSE(m->Get("Slewing").AsBool());
  EXPECT_NEAR(m->Get("RightAscension").AsDouble(), 10.5, 1e-9);
  EXPECT_NEAR(m->Get("Declination").AsDouble(), -12.25, 1e-9);
  m->Invoke("SyncToCoordinates", {TVariant(11.0), TVariant(5.0)});
  EXPECT_NEAR(fake.Get().raHours, 11.0, 1e-9);
  EXPECT_TRUE(Sent(fake, ":CM#"));

  // Raw strings come back as the mount sent them.
  EXPECT_EQ(m->Invoke("CommandString", {TVariant(":A1#"), TVariant(true)}).AsString(), "1");
  EXPECT_EQ(m->Invoke("CommandString", {TVariant(":VS#"), TVariant(true)}).AsString(), "20.000000#");
  EXPECT_FALSE(m->Invoke("CommandBool", {TVariant(":WR+#"), TVariant(true)}).AsBool());
  m->Invoke("CommandBlind", {TVariant(":R3#"), TVariant(true)});
  EXPECT_NEAR(m->Get("GuideRateRightAscension").AsDouble(), 2 * 15.041067 / 3600, 1e-9) << "OnStep's R3 is 2x";

  // Site and clock: west-positive longitude, UT with a zero offset.
  m->Put("SiteLongitude", TVariant(10.5));
  m->Put("SiteLatitude", TVariant(-33.5));
  m->Put("UTCDate", TVariant(platform::TAutomationDate{1768508100.0}));  // 2026-01-15 20:15:00 UT
  const auto s = fake.Get();
  EXPECT_EQ(s.site[1], "349*30");
  EXPECT_EQ(s.site[0], "-33*30");
  EXPECT_EQ(s.site[2], "+00");
  EXPECT_EQ(s.time.rfind("20:15:", 0), 0u) << s.time;
  EXPECT_EQ(s.date, "01/15/26");
  EXPECT_NEAR(m->Get("SiteLongitude").AsDouble(), 10.5, 1e-9);

  m->Invoke("PulseGuide", {TVariant(int32_t(0)), TVariant(int32_t(500))});
  EXPECT_TRUE(WaitFor([&] { return Sent(fake, ":Mgn0500#"); })) << "a pulse has no reply to wait for";
  m->Invoke("Park", {});
  EXPECT_TRUE(m->Get("AtPark").AsBool());
  try {
    m->Invoke("SlewToCoordinatesAsync", {TVariant(1.0), TVariant(1.0)});
    ADD_FAILURE() << "a parked mount slewed";
  } catch (const platform::EAutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("mount is parked"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(m->Get("Connected").AsBool()) << "a refusal keeps the line";
  m->Invoke("UnPark", {});
  EXPECT_FALSE(m->Get("AtPark").AsBool());
}

// Each way the line can fail closes it; later calls raise without sending.
TEST_P(Lx200Driver, LineFailuresCloseTheLineAndSendNothingMore) {
  const std::pair<const char*, std::function<void(TFakeLx200&)>> cases[] = {
      {"silent", [](TFakeLx200& f) { f.SetSilent(true); }},
      {"cut short", [](TFakeLx200& f) { f.CutNextReply(); }},
      {"noise", [](TFakeLx200& f) { f.SetNoise(true); }},
      {"pulled", [](TFakeLx200& f) { f.Pull(); }}};
  // No marker is ever answered here: their waits are shortened.
  struct TShort {
    TShort() { platform::SetLx200FindRepliesMsForTest(900); }
    ~TShort() { platform::SetLx200FindRepliesMsForTest(0); }
  } shortWaits;
  for (const auto& [what, fail] : cases) {
    TFakeLx200 fake(GetParam());
    auto m = Connect(fake);
    fail(fake);
    EXPECT_THROW(m->Get("RightAscension"), platform::EAutomationLinkLost) << what;
    EXPECT_FALSE(m->Get("Connected").AsBool()) << what;
    fake.ClearCommands();
    EXPECT_THROW(m->Invoke("CommandBlind", {TVariant(":Q#"), TVariant(true)}), platform::EAutomationLinkLost)
        << what;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fake.Commands().empty()) << what << ": sent after the line closed";
  }
}

// Replies that come late never answer a later command. A reply held back
// until the driver's next command (the marker that finds the mount's
// replies again) is taken whole; the rest of a cut reply so held is joined
// to its start; a question the mount never heard (spoiled on its way in) is
// asked again. After each, the next member reads its own reply, not the
// one before. A late marker's reply is passed over too: the next marker
// takes another form. A mount given neither clock nor site has nothing
// to read back after a silence: nothing is told.
TEST_P(Lx200Driver, LateRepliesNeverAnswerALaterCommand) {
  using Spoil = TFakeLx200::Spoil;
  constexpr int kNext = TFakeLx200::kAtNextCommand;
  // What is spoiled, how, the commands sent for the first read, the spoils.
  const std::tuple<const char*, Spoil, std::vector<std::string>, int> cases[] = {
      {"late", Spoil::Late, {":GD#", ":GR#"}, 1},
      {"rest late", Spoil::Cut, {":GD#", ":GR#"}, 1},
      {"lost", Spoil::Lose, {":GD#", ":GR#", ":GD#"}, 1},
      {"late, and the first marker's reply too", Spoil::Late, {":GD#", ":GR#", ":GC#", ":GD#"}, 2}};
  for (const auto& [what, how, sent, spoiled] : cases) {
    SCOPED_TRACE(what);
    TFakeLx200 fake(GetParam());
    fake.Change([](TFakeLx200::State& s) { s.raHours = 7.5, s.decDegrees = -33.25; });
    auto m = Connect(fake);
    fake.ClearCommands();
    fake.SpoilReplies(":GD#", how, 1, kNext);
    if (spoiled == 2) fake.SpoilReplies(":GR#", Spoil::Late, 1);
    EXPECT_NEAR(m->Get("Declination").AsDouble(), -33.25, 1e-9);
    EXPECT_EQ(fake.Commands(), sent);
    EXPECT_NEAR(m->Get("RightAscension").AsDouble(), 7.5, 1e-9) << "one reply behind";
    EXPECT_NEAR(m->Get("Declination").AsDouble(), -33.25, 1e-9);
    EXPECT_EQ(fake.Spoiled(), spoiled);
    EXPECT_EQ(m->TakeFault(), "");
  }
}

// Commands that are never sent twice (a sync, a goto): a reply that comes
// late but whole, or the late rest of one cut short, is taken; one lost or
// garbled says what the mount may be doing and keeps the link, in step
// with the mount's replies.
TEST_P(Lx200Driver, LostReplyOfACommandNotSentTwiceSaysWhatTheMountMayDo) {
  using Spoil = TFakeLx200::Spoil;
  constexpr int kNext = TFakeLx200::kAtNextCommand;
  const std::tuple<const char*, Spoil, int, const char*> cases[] = {  // prefix, spoil, rest, what is said
      {":CM#", Spoil::Cut, kNext, ""},
      {":CM#", Spoil::Late, kNext, ""},
      {":CM#", Spoil::Cut, -1, "reply to :CM# cut short; the mount may have synced"},
      {":CM#", Spoil::Lose, -1, "no reply from the mount to :CM# within 0.6 s; the mount may have synced"},
      {":MS#", Spoil::Late, kNext, ""},
      {":MS#", Spoil::Garble, -1, "garbled reply to :MS#: \""},
      {":MS#", Spoil::Lose, -1, "no reply from the mount to :MS# within 0.6 s; the mount may be moving"}};
  for (const auto& [prefix, how, rest, said] : cases) {
    SCOPED_TRACE(std::string(prefix) + " " + said);
    TFakeLx200 fake(GetParam());
    fake.Change([](TFakeLx200::State& s) { s.slewMs = 60000; });
    auto m = Connect(fake);
    fake.SpoilReplies(prefix, how, 1, rest);
    const char* member = std::string(prefix) == ":CM#" ? "SyncToCoordinates" : "SlewToCoordinatesAsync";
    std::string told;
    try {
      m->Invoke(member, {TVariant(1.0), TVariant(2.0)});
    } catch (const platform::EAutomationOutcomeUnknown& e) {
      told = e.what();
    }
    if (*said == 0) {
      EXPECT_EQ(told, "");
    } else {
      EXPECT_NE(told.find(said), std::string::npos) << told;
      if (how == Spoil::Garble) {
        EXPECT_NE(told.find("; the mount may be moving"), std::string::npos) << told;
      }
    }
    EXPECT_EQ(fake.Count(prefix), 1) << "sent twice";
    EXPECT_TRUE(m->Get("Connected").AsBool());
    // The next reply read is the next command's: the fake points where
    // the sync put it, or (goto, sync never heard) where it was.
    const bool synced = std::string(prefix) == ":CM#" && how != Spoil::Lose;
    EXPECT_NEAR(m->Get("Declination").AsDouble(), synced ? 2.0 : 20.0, 1e-9);
  }
}

// The mount's kind comes from its name: a name cut short whose rest comes
// late, or garbled into printable noise, is not taken for a mount of
// another kind. A name the driver does not know is taken when two asks
// give it, but never on a line whose mount named itself OnStep before.
TEST_P(Lx200Driver, ProductNameIsNeverTakenFromNoise) {
  using Spoil = TFakeLx200::Spoil;
  platform::ForgetLx200LinesForTest();
  TFakeLx200 fake(GetParam());
  fake.Garble(":GVP#", "On-Stxp#", 1);
  fake.SpoilReplies(":GVP#", Spoil::Cut, 1, TFakeLx200::kAtNextCommand);
  auto m = Connect(fake);
  EXPECT_EQ(fake.Count(":GVP#"), 2);
  EXPECT_NE(m->Get("DriverInfo").AsString().find("(ON_STEP command set): On-Step 4.24k"), std::string::npos)
      << m->Get("DriverInfo").AsString();
  m->Put("Connected", TVariant(false));
  // The same line now names a mount the driver does not know.
  fake.Change([](TFakeLx200::State& s) { s.product = "Zeta-1"; });
  fake.ClearCommands();
  try {
    m->Put("Connected", TVariant(true));
    ADD_FAILURE() << "an unknown name was taken on an OnStep line";
  } catch (const platform::EAutomationLinkLost& e) {
    EXPECT_NE(std::string(e.what()).find("the mount's product name was not read (\"Zeta-1\"), where an OnStep mount "
                                         "answered before"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(fake.Count(":GVP#"), platform::kLx200Asks);
  platform::ForgetLx200LinesForTest();
  fake.ClearCommands();
  m->Put("Connected", TVariant(true));
  EXPECT_NE(m->Get("DriverInfo").AsString().find("(Meade command set): Zeta-1"), std::string::npos);
  EXPECT_EQ(fake.Count(":GVP#"), 2) << "the same name twice";
}

// A reply the link sends twice (at once, or when the next command has
// come) takes the place of the next command's reply, well formed: the next
// check tells it, and finds the line in step again after it. A right
// ascension sent twice is no declination: the declination is asked again
// and read right.
TEST_P(Lx200Driver, AReplySentTwiceIsToldAndNeverTakenForADeclination) {
  using Spoil = TFakeLx200::Spoil;
  TFakeLx200 fake(GetParam());
  fake.Change([](TFakeLx200::State& s) { s.raHours = 7.5, s.decDegrees = -33.25, s.pec[5] = 12, s.pec[6] = -7; });
  auto m = Connect(fake);
  auto ask = [&](const char* cmd) { return m->Invoke("CommandString", {TVariant(cmd), TVariant(true)}).AsString(); };
  EXPECT_TRUE(m->Get("RepliesInStep").AsBool());
  for (const int lateMs : {TFakeLx200::kAtNextCommand, 0}) {
    SCOPED_TRACE(lateMs);
    fake.SpoilReplies(":VR5#", Spoil::Twice, 1, lateMs);
    EXPECT_EQ(ask(":VR5#"), "+012#");
    const std::string six = ask(":VR6#");  // entry 5 again when the second copy came first
    EXPECT_TRUE(six == "+012#" || six == "-007#") << six;
    EXPECT_FALSE(m->Get("RepliesInStep").AsBool());
    EXPECT_EQ(ask(":VR6#"), "-007#");
    EXPECT_TRUE(m->Get("RepliesInStep").AsBool());
  }
  // A reply sent twice, then the next one without its "#" (noise), held
  // until the next command: it runs into that command's reply, spoiled
  // or not.
  for (const char* next : {"+012#", "+0\xab" "2#"}) {
    fake.SpoilReplies(":VR5#", Spoil::Twice, 1, TFakeLx200::kAtNextCommand);
    fake.Garble(":VR6#", "-007\xab", 1);
    fake.SpoilReplies(":VR6#", Spoil::Late, 1, TFakeLx200::kAtNextCommand);
    EXPECT_EQ(ask(":VR5#"), "+012#");
    EXPECT_EQ(ask(":VR6#"), "+012#") << "one behind";
    fake.Garble(":VR5#", next, 1);
    EXPECT_EQ(ask(":VR5#"), "+012#") << "asked again after \"-007\\xab" << platform::Lx200Printable(next) << "\"";
    EXPECT_FALSE(m->Get("RepliesInStep").AsBool());
    EXPECT_TRUE(m->Get("RepliesInStep").AsBool());
  }

  fake.ClearCommands();
  fake.SpoilReplies(":GR#", Spoil::Twice, 1, TFakeLx200::kAtNextCommand);
  EXPECT_NEAR(m->Get("RightAscension").AsDouble(), 7.5, 1e-9);
  EXPECT_NEAR(m->Get("Declination").AsDouble(), -33.25, 1e-9) << "the right ascension taken for the declination";
  EXPECT_EQ(fake.Count(":GD#"), 2);
  EXPECT_FALSE(m->Get("RepliesInStep").AsBool());
  EXPECT_TRUE(m->Get("Connected").AsBool());
  EXPECT_EQ(fake.Spoiled(), 7);
}

// A status with flags this driver does not know (a later firmware's) is
// taken once the line proves in step after it; the reply of another
// command in its place, of the same shape but sent twice by the link, is
// not: the status is asked again.
TEST_P(Lx200Driver, AStatusWithFlagsOfALaterFirmwareIsTakenWhenInStep) {
  using Spoil = TFakeLx200::Spoil;
  TFakeLx200 fake(GetParam());
  fake.Change([](TFakeLx200::State& s) { s.newFlags = "cb"; });
  auto m = Connect(fake);
  fake.ClearCommands();
  EXPECT_TRUE(m->Get("Tracking").AsBool());
  EXPECT_EQ(fake.Count(":GU#"), 1) << "taken at the first ask";
  fake.Change([](TFakeLx200::State& s) { s.tracking = false, s.product = "Pluto"; });
  EXPECT_FALSE(m->Get("Tracking").AsBool());
  // "Pluto" reads as a status of unknown flags (one park state, "P"), not
  // tracking: taken in the status's place, it would say the mount tracks.
  fake.SpoilReplies(":GVP#", Spoil::Twice, 1, TFakeLx200::kAtNextCommand);
  EXPECT_EQ(m->Invoke("CommandString", {TVariant(":GVP#"), TVariant(true)}).AsString(), "Pluto#");
  fake.ClearCommands();
  EXPECT_FALSE(m->Get("Tracking").AsBool()) << "the product name taken for the status";
  EXPECT_EQ(fake.Count(":GU#"), 2);
  EXPECT_TRUE(m->Get("Connected").AsBool());
}

// Putting Connected false ends a call waiting for the mount's reply; the
// same driver connects again afterwards.
TEST_P(Lx200Driver, DisconnectEndsAWaitingCallAndConnectsAgain) {
  TFakeLx200 fake(GetParam());
  auto m = Connect(fake);
  fake.SetDelay(1500);
  QTimer::singleShot(100, [&] { m->Put("Connected", TVariant(false)); });
  EXPECT_THROW(m->Get("Declination"), platform::EAutomationCancelled);
  EXPECT_FALSE(m->Get("Connected").AsBool());
  fake.SetDelay(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));  // the fake's late answer is gone
  m->Put("Connected", TVariant(true));
  EXPECT_NEAR(m->Get("Declination").AsDouble(), 20.0, 1e-9);
}

// A reply to the target (":Sr", ":Sd") sent twice, at once or when the
// next command has come, also on a link of 200 ms: the goto and the sync
// read their own reply and go through on the target read back (unchecked,
// the ":Sd" reply was read as the goto's, "Goto refused by the mount: 0
// (1)", or as the sync's refusal). Their own reply sent twice is the same
// reply: taken.
TEST_P(Lx200Driver, TargetRepliesSentTwiceAreNeverTheGotosOrSyncsReply) {
  using Spoil = TFakeLx200::Spoil;
  constexpr int kNext = TFakeLx200::kAtNextCommand;
  const std::tuple<const char*, const char*, int, int> cases[] = {  // member, spoiled, second copy, latency
      {"SlewToCoordinatesAsync", ":Sr", kNext, 0},  {"SlewToCoordinatesAsync", ":Sd", kNext, 0},
      {"SlewToCoordinatesAsync", ":Sr", 0, 0},      {"SlewToCoordinatesAsync", ":Sr", kNext, 200},
      {"SlewToCoordinatesAsync", ":MS#", kNext, 0}, {"SyncToCoordinates", ":Sr", kNext, 0},
      {"SyncToCoordinates", ":Sd", kNext, 0},       {"SyncToCoordinates", ":CM#", kNext, 0}};
  for (const auto& [member, prefix, late, latency] : cases) {
    SCOPED_TRACE(std::string(member) + " " + prefix + " " + std::to_string(late) + " " + std::to_string(latency));
    TFakeLx200 fake(GetParam());
    fake.Change([](TFakeLx200::State& s) { s.slewMs = 60000; });
    auto m = Connect(fake);
    fake.SetDelay(latency);
    fake.ClearCommands();
    fake.SpoilReplies(prefix, Spoil::Twice, 1, late);
    const bool sync = std::string(member) == "SyncToCoordinates";
    try {
      m->Invoke(member, {TVariant(3.0), TVariant(12.5)});
    } catch (const platform::EAutomationError& e) {
      ADD_FAILURE() << e.what();
    }
    EXPECT_EQ(fake.Count(sync ? ":CM#" : ":MS#"), 1);
    EXPECT_NEAR(fake.Get().targetRa, 3.0, 1e-9);
    EXPECT_NEAR(fake.Get().targetDec, 12.5, 1e-9);
    if (sync) {
      EXPECT_NEAR(m->Get("Declination").AsDouble(), 12.5, 1e-9) << "synced";
    } else {
      EXPECT_TRUE(fake.Slewing());
    }
    EXPECT_TRUE(m->Get("Connected").AsBool());
  }
}

// A set command's "0" is a refusal only when the line proves in step after
// it. Followed by bytes no reply took (the reply came twice), it is set
// again and goes through (it was "Tracking refused by the mount"); a park,
// which is not sent twice, is told as unconfirmed; a "0" in step is still
// the mount's refusal, the command sent once.
TEST_P(Lx200Driver, ASetCommandsZeroIsARefusalOnlyInStep) {
  constexpr int kNext = TFakeLx200::kAtNextCommand;
  {
    TFakeLx200 fake(GetParam());
    auto m = Connect(fake);
    m->Put("Tracking", TVariant(false));
    fake.ClearCommands();
    fake.Garble(":Te#", "0", 1);
    fake.SpoilReplies(":Te#", TFakeLx200::Spoil::Twice, 1, kNext);
    try {
      m->Put("Tracking", TVariant(true));
    } catch (const platform::EAutomationError& e) {
      ADD_FAILURE() << e.what();
    }
    EXPECT_EQ(fake.Count(":Te#"), 2) << "set again";
    EXPECT_TRUE(fake.Get().tracking);
  }
  {
    TFakeLx200 fake(GetParam());
    auto m = Connect(fake);
    fake.ClearCommands();
    fake.Garble(":hP#", "0", 1);
    fake.SpoilReplies(":hP#", TFakeLx200::Spoil::Twice, 1, kNext);
    try {
      m->Invoke("Park", {});
      ADD_FAILURE() << "taken as parked";
    } catch (const platform::EAutomationOutcomeUnknown& e) {
      const std::string told = e.what();
      EXPECT_NE(told.find("the reply to :hP# (\"0\") could not be told apart"), std::string::npos) << told;
      EXPECT_NE(told.find("the mount may be parking"), std::string::npos) << told;
    } catch (const platform::EAutomationError& e) {
      ADD_FAILURE() << "told as a refusal: " << e.what();
    }
    EXPECT_EQ(fake.Count(":hP#"), 1);
    EXPECT_TRUE(m->Get("Connected").AsBool());
  }
  {
    TFakeLx200 fake(GetParam());
    auto m = Connect(fake);
    fake.ClearCommands();
    fake.Garble(":St-33*30#", "0", 1);
    try {
      m->Put("SiteLatitude", TVariant(-33.5));
      ADD_FAILURE() << "a refusal taken";
    } catch (const platform::EAutomationOutcomeUnknown& e) {
      ADD_FAILURE() << e.what();
    } catch (const platform::EAutomationError& e) {
      EXPECT_STREQ(e.what(), "Latitude refused by the mount (:St-33*30#)");
    }
    EXPECT_EQ(fake.Count(":St-33*30#"), 1);
  }
}

// A goto whose reply cannot be placed (the reply to the check after the
// target, sent twice, comes where the goto's reply should: its "0" reads
// as a goto begun) is told as unconfirmed, never as begun or refused.
TEST_P(Lx200Driver, AGotoReplyThatCannotBePlacedIsUnconfirmed) {
  TFakeLx200 fake(GetParam());
  fake.Change([](TFakeLx200::State& s) { s.slewMs = 60000, s.raHours = 6.0; });
  auto m = Connect(fake);
  fake.ClearCommands();
  fake.SpoilReplies(":GR#", TFakeLx200::Spoil::Twice, 1, TFakeLx200::kAtNextCommand);
  try {
    m->Invoke("SlewToCoordinatesAsync", {TVariant(3.0), TVariant(12.5)});
    ADD_FAILURE() << "taken as begun";
  } catch (const platform::EAutomationOutcomeUnknown& e) {
    const std::string told = e.what();
    EXPECT_NE(told.find("the reply to :MS# (\"0\") could not be told apart from another reply"), std::string::npos)
        << told;
    EXPECT_NE(told.find("; the mount may be moving"), std::string::npos) << told;
  } catch (const platform::EAutomationError& e) {
    ADD_FAILURE() << "told as a refusal: " << e.what();
  }
  EXPECT_EQ(fake.Count(":MS#"), 1);
  EXPECT_TRUE(m->Get("Connected").AsBool());
  EXPECT_NEAR(m->Get("RightAscension").AsDouble(), 6.0, 1e-9) << "in step again";
}

// The mount's kind, version and coordinate mode come only from replies
// proved in step: a lost ":GVP#" leaves an OnStep mount OnStep (it was
// taken for the classic LX200); a version sent twice ("2.9c") is no
// coordinate mode 2 (it was "(J2000.0)" and "Does Refraction" on a mount
// in observed place); noise in the version's place is no version; a mode
// sent twice or lost is read again.
TEST_P(Lx200Driver, MountKindVersionAndModeOnlyFromRepliesInStep) {
  using Spoil = TFakeLx200::Spoil;
  constexpr int kNext = TFakeLx200::kAtNextCommand;
  const std::tuple<const char*, char, std::function<void(TFakeLx200&)>> cases[] = {  // what, mode, spoil
      {"name lost", '0', [](TFakeLx200& f) { f.SpoilReplies(":GVP#", Spoil::Lose, 1); }},
      {"version twice", '0', [&](TFakeLx200& f) { f.SpoilReplies(":GVN#", Spoil::Twice, 1, kNext); }},
      {"version noise", '0', [](TFakeLx200& f) { f.Garble(":GVN#", ".|#", 1); }},
      {"mode twice", '2', [&](TFakeLx200& f) { f.SpoilReplies(":GXEE#", Spoil::Twice, 1, kNext); }},
      {"mode lost", '2', [](TFakeLx200& f) { f.SpoilReplies(":GXEE#", Spoil::Lose, 1); }}};
  for (const auto& [what, mode, spoil] : cases) {
    SCOPED_TRACE(what);
    platform::ForgetLx200LinesForTest();
    TFakeLx200 fake(GetParam());
    fake.Change([m = mode](TFakeLx200::State& s) { s.version = "2.9c", s.coordinateMode = m; });
    spoil(fake);
    auto m = Connect(fake);
    const std::string info = m->Get("DriverInfo").AsString();
    EXPECT_NE(info.find("(ON_STEP command set): On-Step 2.9c on "), std::string::npos) << info;
    EXPECT_EQ(m->Get("EquatorialSystem").AsInt(), mode == '2' ? 2 : 1);
    EXPECT_EQ(m->Get("DoesRefraction").AsBool(), mode == '2');
    EXPECT_TRUE(m->Get("CanFindHome").AsBool()) << "OnStep's controls";
  }
  platform::ForgetLx200LinesForTest();
}

INSTANTIATE_TEST_SUITE_P(Lines, Lx200Driver,
                         ::testing::Values(TFakeLx200::Transport::Pty, TFakeLx200::Transport::Tcp),
                         [](const auto& info) { return testing_support::LinkName(info.param); });

TEST(Lx200DriverMeade, RefusalMessageAndDateLinesAreRead) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp, TFakeLx200::Firmware::Meade);
  auto m = Connect(fake);
  EXPECT_NE(m->Get("DriverInfo").AsString().find("Meade"), std::string::npos);
  EXPECT_TRUE(m->Get("CanPark").AsBool()) << "the Autostar parks with :hP#";
  try {
    m->Invoke("SlewToCoordinatesAsync", {TVariant(3.0), TVariant(-60.0)});
    ADD_FAILURE() << "the refusal was not raised";
  } catch (const platform::EAutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("Object Below Horizon"), std::string::npos) << e.what();
  }
  m->Put("UTCDate", TVariant(platform::TAutomationDate{1768508100.0}));
  EXPECT_NEAR(m->Get("RightAscension").AsDouble(), 6.0, 1e-9) << "the date's two lines were taken whole";
  // A string that is no command never reaches the line.
  fake.ClearCommands();
  EXPECT_THROW(m->Invoke("CommandString", {TVariant(":GR\r#"), TVariant(true)}), platform::EAutomationError);
  EXPECT_TRUE(fake.Commands().empty());
}

// The program's end gives up a call waiting for the mount's answer: the
// call raises EAutomationCancelled, and a call queued behind it meanwhile
// is never sent. The call under way ends on the connection's worker, with
// nothing of its caller's, and the driver answers again once waits run in
// full.
TEST(Lx200DriverEnd, TheEndGivesUpAWaitingCallAndNeverSendsTheOneQueuedBehind) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  auto m = Connect(fake);
  const int positionAsks = fake.Count(":GR#");
  std::atomic<bool> released{false};
  fake.HoldReplyUntil(":GD#", [&] { return released.load(); });
  bool queuedCancelled = false;
  QTimer::singleShot(0, [&] {
    // Inside the waiting call.
    ASSERT_TRUE(WaitFor([&] { return Sent(fake, ":GD#"); }, testing_support::kWaitMs));
    platform::GiveUpWaitsAfter(0);
    try {
      m->Get("RightAscension");
    } catch (const platform::EAutomationCancelled&) {
      queuedCancelled = true;
    }
  });
  EXPECT_THROW(m->Get("Declination"), platform::EAutomationCancelled);
  EXPECT_TRUE(queuedCancelled);
  released = true;
  platform::ResumeWaits();
  EXPECT_NEAR(m->Get("Declination").AsDouble(), 20.0, 1e-9);
  EXPECT_EQ(fake.Count(":GR#"), positionAsks);
  EXPECT_EQ(fake.HoldsReleased(), 1);
}
