// The about box: the version, the maker's notice, the web and mail
// addresses. Clicking the web address opens it in the system's browser,
// clicking the mail address the system's mail program. Shown modally from
// Help > About; closing hides it.
#pragma once

#include <QDialog>

class QLabel;

inline constexpr const char* kAboutVersion = "Noctra Planetarium version 3.27";
inline constexpr const char* kMakerNotice = "Copyright \u00a9 Tarvel Software. All rights reserved.";
inline constexpr const char* kMakerWeb = "https://www.tarvel-software.example/noctra";
inline constexpr const char* kMakerMail = "support@tarvel-software.example";

class TAboutNoctraForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutNoctraForm1(QWidget* owner = nullptr);
  // Fills the labels (FormShow).
  void FormShow();

  QLabel* Version = nullptr;
  QLabel* Notice = nullptr;
  QLabel* Description = nullptr;
  QLabel* WebCaption = nullptr;
  QLabel* Label9a = nullptr;  // web address
  QLabel* Label11 = nullptr;  // mail address

 protected:
  void showEvent(QShowEvent* event) override;
};

extern TAboutNoctraForm1* AboutNoctraForm1;
