// File > Print: the options window TPrintForm1 and the print job that draws
// the star map (header block, magnitude scale and object key, the chart),
// the magnifier's views of the points of interest and the list of the
// chart's objects on a printer or into a PDF file through QPrinter.
#pragma once

#include <QDialog>
#include <string>

#include "app/core/print_header.h"
#include "script/script_host.h"

class QCheckBox;
class QLabel;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QRadioButton;
class TMainForm1;

class TPrintForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TPrintForm1(QWidget* owner = nullptr);
  // Controls from Options (on showing) and back (on hiding).
  void OptionsToControls();
  void ControlsToOptions();
  // Enables the controls by the window's rules.
  void UpdateControls();

  TPrintOptions Options;

  QCheckBox* BWCheckBox1 = nullptr;
  QCheckBox* MainViewCheckBox1 = nullptr;
  QCheckBox* POICheckBox1 = nullptr;
  QRadioButton* AllPOIRadioButton1 = nullptr;
  QRadioButton* VisiblePOIRadioButton1 = nullptr;
  QLabel* POILabel = nullptr;
  QCheckBox* ObjectListCheckBox1 = nullptr;
  QPushButton* Button1 = nullptr;  // "&Ok"
  QPushButton* Button2 = nullptr;  // "&Cancel"
  QPushButton* Button3 = nullptr;  // "&Setup..."

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
};

extern TPrintForm1* PrintForm1;

// The printer File > Print and a script's PRINT_MAP use (chosen in the
// set-up dialog; at first the system's default printer, or where there is
// none a PDF printer without a file). As a PDF printer it holds only the
// file chosen in Print Setup, never one a print asked for. The reference
// holds until the next print fails.
QPrinter& MainPrinter();

// Prints the star map with the options on `printer`: the map page; then,
// from a new page, the points of interest (all, or those above the horizon,
// the only ones the magnifier shows), filling each page top to bottom; then
// the chart's objects as a table from a new page. Pauses the overlay
// threads and waits (handling events) for a star load to end first; sets
// RenderSuspended for the job. Whatever happens, the colour mode, print
// scale, fonts, RenderSuspended and the threads are restored afterwards.
// False when the printer could not be started.
bool PrintStarMap(TMainForm1& form, QPrinter& printer, const TPrintOptions& options);

// PrintStarMap on MainPrinter(). A printer that does not start is replaced
// by a new one with its choices, so that a later print, or a change in the
// set-up dialog, can start. False too while the set-up dialog is open on
// the printer.
bool PrintStarMapOnMainPrinter(TMainForm1& form, const TPrintOptions& options);

// The chart printer's choices for PRINT_MAP: the script's values with the
// options window skipped. The main window's print hook prints with them;
// the print window keeps its own choices.
TPrintOptions ScriptPrintChoices(const TScriptPrintOptions& options);

// How a print command ended: printed, cancelled by the user (nothing is
// told), or failed (told in a box with why).
enum class TPrintOutcome { Printed, Cancelled, Failed };

// The star map printed with `options` on MainPrinter(), as File > Print
// prints it after its options window and a script's PRINT_MAP with the
// script's choices (`fromScript`). A print into a PDF never writes over an
// earlier file unasked: each one asks for its file (where no printer is
// installed, first saying so), unless Print Setup chose one; a file that
// exists there is written over only when the user says so, and a script,
// which never waits on that question, writes beside it under a free name
// ("map (2).pdf", logged). A PDF file that cannot be written is told with
// the system's reason and the way out, and is never tried again unasked: a
// file from Print Setup is then asked for at each print until Print Setup
// is used again. A pipe, folder or device named as the file is refused
// unopened. A printer that does not start is told with what it was.
TPrintOutcome PrintStarMapCommand(TMainForm1& form, const TPrintOptions& options, bool fromScript);

// The menu commands: the options window (unless skipped), then
// PrintStarMapCommand. And the printer set-up dialog.
void RunPrintCommand(TMainForm1& form);
void RunPrinterSetup(QWidget* owner);
// The print dialog as the printer set-up: caption "Print Setup", its accept
// button "OK" (it prints nothing).
void MakePrinterSetupDialog(QPrintDialog& dialog);
