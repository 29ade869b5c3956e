// The "Images" page of the information windows: a picture added through the
// file dialog, kept when its removal is not confirmed, removed when it is,
// and a picture that cannot be read told in a box that names the reason.
#include <gtest/gtest.h>

#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "platform/dialogs.h"
#include "tests/support/test_support.h"
#include "tools/forms/information_forms.h"
#include "tools/picture_store.h"

namespace {

using platform::DialogRecord;

TEST(ImagesPage, PicturesAreAddedAndRemovedOnlyWhenConfirmed) {
  testing_support::TempDir dir;
  ImageListFolder = dir.Path();
  QImage red(8, 6, QImage::Format_RGB32);
  red.fill(Qt::red);
  const std::string file = dir.File("Andromeda nebula.jpg");
  ASSERT_TRUE(red.save(QString::fromStdString(file)));

  platform::ScopedScriptedDialogs dialogs;
  TImagesPage page(false, "Image|*.jpg;*.jpeg;*.bmp");
  page.programFolder = dir.Path();
  page.Refresh(10, 224);
  ASSERT_EQ(page.ImageComboBox1->count(), 0);

  // A cancelled dialog adds nothing; a chosen file is listed and shown.
  page.AddButton1->click();
  EXPECT_EQ(page.ImageComboBox1->count(), 0);
  dialogs.QueueFile({true, file, 1});
  page.AddButton1->click();
  const DialogRecord asked = dialogs.Last();
  EXPECT_EQ(asked.kind, DialogRecord::File);
  EXPECT_EQ(asked.file.title, "Add picture");
  EXPECT_EQ(asked.file.filter, "Image|*.jpg;*.jpeg;*.bmp");
  ASSERT_EQ(page.ImageComboBox1->count(), 1);
  EXPECT_EQ(page.ImageComboBox1->item(0)->text(), "Andromeda nebula");
  EXPECT_EQ(page.picture.size(), QSize(8, 6));

  // Removing asks first: No keeps the picture, Yes removes it.
  dialogs.QueueAnswer(platform::IDNO);
  page.RemoveButton1->click();
  EXPECT_EQ(dialogs.Last().caption, "Removing picture from list");
  EXPECT_EQ(dialogs.Last().buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(dialogs.Last().defaultResult, platform::IDNO);  // Return keeps the picture
  EXPECT_EQ(page.ImageComboBox1->count(), 1);
  dialogs.QueueAnswer(platform::IDYES);
  page.RemoveButton1->click();
  EXPECT_EQ(page.ImageComboBox1->count(), 0);
  std::vector<TImageListEntry> stored;
  SetImageListKey(10, 224);
  LoadImageList(stored);
  EXPECT_TRUE(stored.empty());

  // A listed picture whose file has gone: the box says so.
  dialogs.QueueFile({true, file, 1});
  page.AddButton1->click();
  ASSERT_EQ(page.ImageComboBox1->count(), 1);
  std::filesystem::remove(file);
  dialogs.Clear();
  page.Refresh(10, 224);
  EXPECT_TRUE(page.picture.isNull());
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().caption, "Picture");
  EXPECT_EQ(dialogs.Last().text, "Image file not found");
  ImageListFolder.clear();
}

}  // namespace
