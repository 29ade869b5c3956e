// The deep-sky catalogue options window ("Celestial Object Catalog
// settings"): the object filter (magnitude range, classes, labels) and the
// five catalogue slots of "ObjectOptions.xml" with Add (through the import
// window) and Remove. The logic is in catalog/object_options.h.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "catalog/object_options.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

class TOptionsForm2 : public QDialog {
 public:
  explicit TOptionsForm2(QWidget* parent = nullptr);
  ~TOptionsForm2() override;

  QSlider* TrackBarMagn1;  // low (bright) limit × 10
  QSlider* TrackBarMagn2;  // high (faint) limit × 10
  QLabel* MagnLabel1;
  QLabel* MagnLabel2;
  QCheckBox* ClassCheckBox[10];  // class digits; none for 7
  QCheckBox* LabelCheckBox1;
  // Why the chart has no deep-sky objects, or not all of them (a missing,
  // damaged or locked object database); hidden while the database is sound.
  // It follows the database while the window is shown (a lock that ends).
  QLabel* DatabaseNote;
  QLabel* CatName[kCatalogSlots];
  QLabel* CatDescription[kCatalogSlots];
  QCheckBox* Active[kCatalogSlots];  // Active[0] is CatActive1, always on
  QPushButton* Add[kCatalogSlots];   // slots 2..5
  QPushButton* Remove[kCatalogSlots];
  QPushButton* BitBtn1;  // Select All
  QPushButton* BitBtn2;  // Clear All
  QPushButton* BitBtn3;  // Ok
  QPushButton* CancelButton;
  QPushButton* Defaults2;
  QPushButton* SaveDefaultBitBtn1;

  // Runs the import window on a file; answers whether a table was
  // imported, with its name and description. Tests replace it.
  std::function<bool(const std::string& file, const std::vector<std::string>& namesInUse,
                     std::string& table, std::string& description)>
      RunImport;

  // The slots in force (CatalogSlots), as the start read them from
  // "ObjectOptions.xml": the window never reads the file itself.
  TCatalogSlots& Slots = CatalogSlots;

  void FormShow();
  void BitBtn3Click();
  void Defaults2Click();
  void SaveDefaultBitBtn1Click();
  void AddClick(int k);     // slot k, 2..5
  void RemoveClick(int k);  // slot k, 2..5
  void ActiveClick(int k);  // slot k, 1..5
  // The filter the controls show.
  TObjectFilter ShownFilter() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowFilter(const TObjectFilter& f);
  void ShowSlots();
  void ShowDatabaseNote();
  void UpdateLabels();
  bool shownOnce_ = false;
  int databaseWatch_ = 0;
};

extern TOptionsForm2* OptionsForm2;
