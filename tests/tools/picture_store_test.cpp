// The picture store: add, update, delete, records paired through their
// offsets, a crash between the two files, temporaries of killed adds,
// compaction on delete and update
// (and what a failed or interrupted one leaves), limits of what can be
// stored, and the picture-fitting rules.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/codec.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"
#include "tools/picture_store.h"

namespace {

class PictureStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ImageListFolder = dir_.path().toStdString() + "/";
  }
  void TearDown() override { ImageListFolder.clear(); }
  std::vector<uint8_t> Bytes(const char* name) {
    std::ifstream in(ImageListFolder + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Write(const char* name, const std::vector<uint8_t>& b) {
    std::ofstream(ImageListFolder + name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
  }
  std::vector<std::string> Listed() {
    std::vector<TImageListEntry> list;
    EXPECT_TRUE(LoadImageList(list));
    std::vector<std::string> t;
    for (auto& e : list) t.push_back(e.title);
    return t;
  }
  QTemporaryDir dir_;
};

using Titles = std::vector<std::string>;

TEST_F(PictureStore, KeysOfKinds) {
  SetImageListKey(1, 9);
  EXPECT_EQ(CurrentImageListKey(), 0x01000009u);
  SetImageListKey(10, 0x02000123);  // table 2, idx 0x123
  EXPECT_EQ(CurrentImageListKey(), 0x0C000123u);
  SetImageListKey(3, 0x12345678);
  EXPECT_EQ(CurrentImageListKey(), 0x03345678u);
}

TEST_F(PictureStore, AddUpdateDeleteAcrossKeys) {
  SetImageListKey(10, 224);
  EXPECT_EQ(Listed(), Titles{}) << "no files yet: an empty list";
  ASSERT_TRUE(AddImageListEntry({"m31.jpg", "M31", "line one\nline two\nline three"}).ok);
  SetImageListKey(10, 1976);
  ASSERT_TRUE(AddImageListEntry({"/pics/m42.jpg", "M42*", ""}).ok);
  SetImageListKey(10, 224);
  ASSERT_TRUE(AddImageListEntry({"m31b.jpg", "M31 wide", ""}).ok);
  EXPECT_EQ(Listed(), (Titles{"M31", "M31 wide"}));
  std::vector<TImageListEntry> list;
  ASSERT_TRUE(LoadImageList(list));
  EXPECT_EQ(list[0].notes, "line one\nline two\nline three");
  // Notes on disk: lines with CRs and a NUL.
  const auto data = Bytes("imagelisting.data");
  ASSERT_EQ(data.size(), 3 * kImageRecordBytes);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data() + 512)), "line one\rline two\rline three");

  ASSERT_TRUE(UpdateImageListEntry(1, {"m31b.jpg", "M31 wide*", "new"}).ok);
  EXPECT_EQ(Listed(), (Titles{"M31", "M31 wide*"}));
  EXPECT_FALSE(UpdateImageListEntry(2, {"x.jpg", "x", ""}).ok) << "no third entry: reported";

  ASSERT_TRUE(DeleteImageListEntry(0).ok);
  EXPECT_EQ(Listed(), (Titles{"M31 wide*"}));
  SetImageListKey(10, 1976);
  EXPECT_EQ(Listed(), (Titles{"M42*"})) << "other keys untouched";
  EXPECT_FALSE(DeleteImageListEntry(1).ok);
  EXPECT_FALSE(DeleteImageListEntry(-1).ok);
  EXPECT_FALSE(DeleteImageListEntry(2001).ok);
}

TEST_F(PictureStore, ShortRecordStillPairsEveryEntry) {
  // A data file whose first record is short (1000 bytes): the index holds
  // each record's own offset, so the second entry still reads its record.
  SetImageListKey(1, 4);
  std::vector<uint8_t> data(1000, 0), index(16, 0);
  std::string err, warn;
  uint8_t rec[kImageRecordBytes];
  ASSERT_TRUE(EncodeImageRecord({"a.jpg", "first", ""}, rec, err, warn));
  std::copy(rec, rec + 1000, data.begin());
  ASSERT_TRUE(EncodeImageRecord({"b.jpg", "second", ""}, rec, err, warn));
  data.insert(data.end(), rec, rec + kImageRecordBytes);
  platform::PutU32(index.data(), CurrentImageListKey());
  platform::PutU32(index.data() + 4, 0);
  platform::PutU32(index.data() + 8, CurrentImageListKey());
  platform::PutU32(index.data() + 12, 1000);
  Write("imagelisting.data", data);
  Write("imagelisting.index", index);
  // Record 0 is whole in the file (its 1000 bytes run into record 1), so
  // both load; the second is read at its offset, not at 2513.
  EXPECT_EQ(Listed(), (Titles{"first", "second"}));
  ASSERT_TRUE(AddImageListEntry({"c.jpg", "third", ""}).ok);
  ASSERT_TRUE(DeleteImageListEntry(0).ok);
  EXPECT_EQ(Listed(), (Titles{"second", "third"}));
}

TEST_F(PictureStore, CrashBetweenTheTwoFiles) {
  SetImageListKey(2, 7);
  ASSERT_TRUE(AddImageListEntry({"a.jpg", "a", ""}).ok);
  // A crash after the record was appended and before the index named it:
  // the data file holds an extra record nobody names.
  auto data = Bytes("imagelisting.data");
  std::string err, warn;
  uint8_t rec[kImageRecordBytes];
  ASSERT_TRUE(EncodeImageRecord({"lost.jpg", "lost", ""}, rec, err, warn));
  data.insert(data.end(), rec, rec + kImageRecordBytes);
  Write("imagelisting.data", data);
  EXPECT_EQ(Listed(), (Titles{"a"}));
  ASSERT_TRUE(AddImageListEntry({"b.jpg", "b", ""}).ok);
  EXPECT_EQ(Listed(), (Titles{"a", "b"})) << "the new entry names its own record";
  // An index written ahead of its record (a torn add of the old order) and
  // a torn index entry: the entry without a record is skipped.
  auto index = Bytes("imagelisting.index");
  const std::vector<uint8_t> extra = {7, 0, 0, 2, 0x10, 0x27, 0, 0, 7, 0, 0};  // offset 10000, then 3 torn bytes
  index.insert(index.end(), extra.begin(), extra.end());
  Write("imagelisting.index", index);
  EXPECT_EQ(Listed(), (Titles{"a", "b"}));
}

// Adds that were killed leave their "<file>.tmp-<process id>" files. The
// store's first use removes those of processes that no longer run, and
// nothing else.
TEST_F(PictureStore, KilledAddsTemporariesGoAtTheFirstUse) {
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const std::string dead = std::to_string(ended);
  const std::vector<std::string> stale = {"imagelisting.data.tmp-" + dead, "imagelisting.index.tmp-" + dead};
  const std::vector<std::string> kept = {"imagelisting.data.tmp-" + std::to_string(::getppid()),
                                         "picture.jpg.tmp-" + dead};
  for (const auto& names : {stale, kept})
    for (const std::string& name : names) Write(name.c_str(), {1, 2, 3});
  SetImageListKey(1, 9);
  EXPECT_EQ(Listed(), Titles{});
  for (const std::string& name : stale) EXPECT_FALSE(std::filesystem::exists(ImageListFolder + name)) << name;
  for (const std::string& name : kept) EXPECT_TRUE(std::filesystem::exists(ImageListFolder + name)) << name;
}

// A store as an earlier version left it: key 1/5's pictures a0, a1, a2 with
// other keys' entries between them, and a removed picture's record left
// unreferenced before b1.
class CompactingStore : public PictureStore {
 protected:
  using Items = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;  // key, record
  Items Start() {
    Items items;
    for (auto [key, title] : std::vector<std::pair<uint32_t, std::string>>{
             {0x01000005, "a0"}, {0x0C000010, "b0"}, {0x01000005, "a1"}, {0x0C000010, "b1"}, {2, "c0"}, {0x01000005, "a2"}})
      items.push_back({key, Record(title)});
    std::vector<uint8_t> index, data;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i == 3) data.resize(data.size() + kImageRecordBytes, 'x');
      index.resize(index.size() + 8);
      platform::PutU32(&index[8 * i], items[i].first);
      platform::PutU32(&index[8 * i + 4], uint32_t(data.size()));
      data.insert(data.end(), items[i].second.begin(), items[i].second.end());
    }
    Write("imagelisting.index", index);
    Write("imagelisting.data", data);
    SetImageListKey(1, 5);
    return items;
  }
  static std::vector<uint8_t> Record(const std::string& title, const std::string& path = "p.jpg") {
    std::vector<uint8_t> r(kImageRecordBytes);
    std::string err, warn;
    EXPECT_TRUE(EncodeImageRecord({path, title, "notes of " + title}, r.data(), err, warn));
    return r;
  }
  // The pair holds exactly these records in this order, offsets from 0,
  // and no temporary is left.
  void ExpectCompact(const Items& items) {
    const auto index = Bytes("imagelisting.index"), data = Bytes("imagelisting.data");
    ASSERT_EQ(index.size(), 8 * items.size());
    ASSERT_EQ(data.size(), kImageRecordBytes * items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(platform::GetU32(&index[8 * i]), items[i].first) << i;
      EXPECT_EQ(platform::GetU32(&index[8 * i + 4]), kImageRecordBytes * i) << i;
      EXPECT_TRUE(std::equal(items[i].second.begin(), items[i].second.end(), data.begin() + long(kImageRecordBytes * i)))
          << "record " << i;
    }
    for (const char* temp : {"imagelisting.index.temp", "imagelisting.data.temp"})
      EXPECT_FALSE(std::filesystem::exists(ImageListFolder + temp)) << temp;
  }
};

TEST_F(CompactingStore, DeletingFirstMiddleOrLastAndUpdating) {
  for (int n : {0, 1, 2}) {
    auto items = Start();
    ASSERT_TRUE(DeleteImageListEntry(n).ok);
    items.erase(items.begin() + std::vector<int>{0, 2, 5}[std::size_t(n)]);
    ExpectCompact(items);
  }
  auto items = Start();
  ASSERT_TRUE(UpdateImageListEntry(1, {"/p/a1.jpg", "a1*", "notes of a1*"}).ok);
  items[2].second = Record("a1*", "/p/a1.jpg");
  ExpectCompact(items);
}

TEST_F(CompactingStore, FailedOrInterruptedRewrites) {
  Start();
  const auto index = Bytes("imagelisting.index"), data = Bytes("imagelisting.data");
  {
    testing_support::FileSizeLimit full(3 * kImageRecordBytes);  // the data temporary cannot be written
    EXPECT_FALSE(DeleteImageListEntry(1).ok);
    EXPECT_FALSE(UpdateImageListEntry(0, {"x.jpg", "x", ""}).ok);
  }
  // The index temporary cannot be made (a folder has its name) after the
  // data temporary was written.
  std::filesystem::create_directory(ImageListFolder + "imagelisting.index.temp");
  EXPECT_FALSE(DeleteImageListEntry(1).ok);
  std::filesystem::remove(ImageListFolder + "imagelisting.index.temp");
  EXPECT_FALSE(std::filesystem::exists(ImageListFolder + "imagelisting.data.temp"));
  EXPECT_EQ(Bytes("imagelisting.index"), index);
  EXPECT_EQ(Bytes("imagelisting.data"), data);
  // Cut short while the temporaries were written: they go at the next use.
  Write("imagelisting.data.temp", std::vector<uint8_t>(100, 7));
  Write("imagelisting.index.temp", std::vector<uint8_t>(8, 7));
  EXPECT_EQ(Listed(), (Titles{"a0", "a1", "a2"}));
  EXPECT_FALSE(std::filesystem::exists(ImageListFolder + "imagelisting.data.temp"));
  EXPECT_EQ(Bytes("imagelisting.data"), data);
  // Cut short between the renames (the compacted data file beside the old
  // index): the index temporary is put in place at the next use.
  auto items = Start();
  ASSERT_TRUE(DeleteImageListEntry(0).ok);
  Write("imagelisting.index.temp", Bytes("imagelisting.index"));
  Write("imagelisting.index", index);
  EXPECT_EQ(Listed(), (Titles{"a1", "a2"}));
  items.erase(items.begin());
  ExpectCompact(items);
  // Cut short after the live pair was removed (an older order): the
  // temporaries are the store.
  std::filesystem::rename(ImageListFolder + "imagelisting.index", ImageListFolder + "imagelisting.index.temp");
  std::filesystem::rename(ImageListFolder + "imagelisting.data", ImageListFolder + "imagelisting.data.temp");
  EXPECT_EQ(Listed(), (Titles{"a1", "a2"}));
  ExpectCompact(items);
}

// A pipe in a compaction temporary's place, or in the data file's, is never
// opened: a removal fails, an add says why, and nothing is written.
TEST_F(CompactingStore, PipesInTheStoresPlacesAreNeverOpened) {
  Start();
  const auto data = Bytes("imagelisting.data");
  {
    PipeWatchedForWriters temp(ImageListFolder + "imagelisting.data.temp");
    EXPECT_FALSE(DeleteImageListEntry(1).ok);
    EXPECT_EQ(Bytes("imagelisting.data"), data);
    EXPECT_FALSE(temp.Written());
  }
  PipeInPlace pipe(ImageListFolder + "imagelisting.data");
  EXPECT_EQ(AddImageListEntry({"m31.jpg", "M31", ""}).error,
            "The picture list cannot be read (\"" + ImageListFolder +
                "imagelisting.data\": it is a named pipe, not a file); nothing was written.");
  EXPECT_FALSE(pipe.Opened());
}

TEST_F(PictureStore, LimitsOfWhatCanBeStored) {
  SetImageListKey(1, 1);
  const auto tooLong = AddImageListEntry({"/" + std::string(300, 'p') + ".jpg", "t", ""});
  EXPECT_FALSE(tooLong.ok);
  EXPECT_FALSE(tooLong.error.empty());
  EXPECT_FALSE(AddImageListEntry({"/pics/\u4e2d.jpg", "t", ""}).ok) << "not Windows-1252";
  EXPECT_EQ(Listed(), Titles{}) << "nothing written";
  const auto capped = AddImageListEntry({"n.jpg", "n", std::string(2500, 'x')});
  EXPECT_TRUE(capped.ok);
  EXPECT_FALSE(capped.warning.empty());
  std::vector<TImageListEntry> list;
  ASSERT_TRUE(LoadImageList(list));
  EXPECT_EQ(list[0].notes.size(), 2000u);
}

TEST(PictureRules, TitlesPathsAndFitting) {
  EXPECT_EQ(PictureTitleFromPath("/home/u/pics/M31.final.jpg"), "M31");
  EXPECT_EQ(StoredPicturePath("/home/u/pics/M31.jpg", "/opt/noctra/"), "/home/u/pics/M31.jpg");
  EXPECT_EQ(StoredPicturePath("/opt/Noctra/M31.jpg", "/opt/noctra/"), "M31.jpg");
  EXPECT_EQ(ImagePageRect(200, 100, 400, 100), QRect(0, 25, 200, 50));
  EXPECT_EQ(ImagePageRect(200, 100, 100, 100), QRect(50, 0, 100, 100));
  EXPECT_EQ(SquareFitRect(200, 200, 300, 100), QRect(0, 66, 200, 67));
  EXPECT_EQ(SquareFitRect(200, 100, 100, 300), QRect(83, 0, 33, 100));
  EXPECT_TRUE(ImagePageRect(200, 100, 0, 0).isEmpty()) << "an empty picture is not drawn";
  EXPECT_TRUE(SquareFitRect(200, 200, 10, 0).isEmpty());
}

}  // namespace
