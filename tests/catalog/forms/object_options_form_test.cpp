// The deep-sky options and catalogue import windows driven through their
// controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/globals.h"
#include "catalog/forms/import_tool_form.h"
#include "catalog/forms/object_options_form.h"
#include "catalog/hooks.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "tests/catalog/forms/grab.h"
#include "tests/support/object_database.h"
#include "tests/support/test_support.h"

namespace {

struct FormFixture : ::testing::Test {
  ObjectDatabase data;
  platform::ScopedScriptedDialogs dialogs;
  int replots = 0;
  std::vector<bool> labels;
  void SetUp() override {
    InitObserver(ObserverTime);
    ProgramFolder = data.dir.Path();
    TCatalogHooks h;
    h.requestReplot = [this] { ++replots; };
    h.setObjectLabels = [this](bool on) { labels.push_back(on); };
    SetCatalogHooks(h);
    ObjectFilter = TObjectFilter{};
    ObjectCatalog = std::make_unique<tCO>(std::vector<std::string>{kBaseCatalogTable});
    ObjectCatalog->SetFilter(ObjectFilter);
    platform::TRegIniFile().EraseSection("Objects");
  }
  void TearDown() override {
    ObjectCatalog.reset();
    SetCatalogHooks({});
    ProgramFolder.clear();
  }
};

int TypeIndex(const std::string& code) {
  const auto& types = ImportTypeTree().Types;
  for (std::size_t i = 0; i < types.size(); ++i)
    if (types[i].Code == code) return int(i);
  return -1;
}

}  // namespace

TEST_F(FormFixture, OkAppliesTheFilterAndLabelsCancelChangesNothingSaveWritesTheRegistry) {
  {
    TOptionsForm2 form;
    form.show();
    EXPECT_EQ(form.TrackBarMagn2->value(), 120);
    form.TrackBarMagn2->setValue(40);
    form.ClassCheckBox[5]->click();  // galaxies off
    form.LabelCheckBox1->setChecked(false);
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    EXPECT_EQ(ObjectCatalog->Filter(), TObjectFilter{});
    EXPECT_TRUE(labels.empty());
  }
  TOptionsForm2 form;
  form.show();
  GrabWindow(form, "object_options");
  EXPECT_TRUE(form.ClassCheckBox[5]->isChecked());
  form.TrackBarMagn2->setValue(40);
  EXPECT_EQ(form.MagnLabel2->text(), " 4.0");
  form.TrackBarMagn1->setValue(50);  // the bright limit drags the faint one along
  EXPECT_EQ(form.TrackBarMagn2->value(), 50);
  form.TrackBarMagn1->setValue(-15);
  form.ClassCheckBox[5]->click();
  form.LabelCheckBox1->setChecked(false);
  QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Accepted);

  TObjectFilter shown;
  const std::vector<uint8_t> block = ObjectFilterBlock();
  ASSERT_TRUE(DecodeObjectFilter(block.data(), block.size(), shown));
  EXPECT_EQ(shown.HighMagLimit, 5.0);
  EXPECT_EQ(shown.Classes[5], 0);
  EXPECT_EQ(shown.Classes[7], 0);  // no switch: always cleared by Ok
  EXPECT_EQ(shown.LabelObjects, 0);
  EXPECT_EQ(ObjectCatalog->Count(), 1);  // only the diffuse nebula of magnitude 4 is left
  EXPECT_EQ(labels, std::vector<bool>{false});
  EXPECT_GE(replots, 1);

  QTest::mouseClick(form.SaveDefaultBitBtn1, Qt::LeftButton);
  platform::TRegIniFile reg;
  EXPECT_EQ(reg.ReadInteger("Objects", "high mag limit", 0), 50);
  EXPECT_EQ(reg.ReadInteger("Objects", "misc settings", 0), 0x3FF & ~(1 << 5));
  EXPECT_FALSE(reg.ReadBool("Objects", "label objects", true));

  QTest::mouseClick(form.Defaults2, Qt::LeftButton);  // Revert: the window's own limits
  EXPECT_EQ(form.TrackBarMagn1->value(), -15);
  EXPECT_EQ(form.TrackBarMagn2->value(), 120);
  QTest::mouseClick(form.BitBtn2, Qt::LeftButton);  // Clear All
  for (QCheckBox* b : form.ClassCheckBox) {
    if (b) {
      EXPECT_FALSE(b->isChecked());
    }
  }
}

TEST_F(FormFixture, AddImportsThroughTheImportWindowAndRemoveDropsTheTable) {
  testing_support::WriteText(data.dir.File("extra.csv"), "Q1,10.5,-0.25,6.1,5\nQ2,11,+3,,3\n");
  TOptionsForm2 form;
  form.show();
  ASSERT_FALSE(form.Remove[2]->isEnabled());
  // The import window, shown as the Add button would show it, is driven
  // through its controls.
  form.RunImport = [&](const std::string& file, const std::vector<std::string>& used, std::string& table,
                       std::string& description) {
    TImportToolForm1 import;
    import.FileName = file;
    import.NamesInUse = used;
    import.show();
    EXPECT_EQ(import.ImportPreview->columnCount(), 1);
    import.CommaCheckBox->setChecked(true);
    import.ReadPreview();
    EXPECT_EQ(import.ImportPreview->columnCount(), 5);
    const char* codes[] = {"ID", "RAD", "DED", "Mv", "CL"};
    for (int c = 0; c < 5; ++c) import.AssignType(TypeIndex(codes[c]), c);
    // DED of the degrees sub-group, not of the DMS one.
    import.AssignType(TypeIndex("DED") + 3, 2);
    EXPECT_EQ(import.ImportPreview->horizontalHeaderItem(1)->text(), "RAD {RA}");
    GrabWindow(import, "import_tool");
    QTest::mouseClick(import.OkButton, Qt::LeftButton);
    EXPECT_NE(dialogs.Last().text.find("description"), std::string::npos);
    QTest::keyClicks(import.DescriptionEdit, "Two test objects");
    QTest::mouseClick(import.OkButton, Qt::LeftButton);
    EXPECT_TRUE(import.Success);
    table = import.TableName;
    description = import.Description();
    return import.Success;
  };
  dialogs.QueueFile({true, data.dir.File("extra.csv"), 1});
  QTest::mouseClick(form.Add[2], Qt::LeftButton);
  EXPECT_EQ(form.CatName[2]->text(), "extra");
  EXPECT_EQ(form.CatDescription[2]->text(), "Two test objects");
  EXPECT_TRUE(form.Remove[2]->isEnabled());
  EXPECT_FALSE(form.Add[2]->isEnabled());

  form.Active[2]->click();
  ASSERT_EQ(ObjectCatalog->TableCount(), 2);
  EXPECT_EQ(ObjectCatalog->TableName(1), "extra");
  EXPECT_EQ(ReadCatalogSlots()[2].Name, "extra");
  EXPECT_TRUE(ReadCatalogSlots()[2].Active);

  dialogs.QueueAnswer(platform::IDOK);
  QTest::mouseClick(form.Remove[2], Qt::LeftButton);
  EXPECT_EQ(form.CatName[2]->text(), kNotAssigned);
  EXPECT_EQ(ObjectCatalog->TableCount(), 1);
  TSQLiteDatabase db(data.path);
  EXPECT_FALSE(db.TableExists("extra"));
}
