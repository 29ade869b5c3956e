// A form destroyed while one of its fields holds the focus: the field's
// focus-out signals come while the form's widget part is being destroyed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

#include "platform/child_signals.h"

namespace {

// What the handlers saw: how often they ran, and how often the form's own
// destructor had already run by then.
struct THandlerLog {
  int ran = 0;
  int ranAfterFormEnd = 0;
  bool formEnded = false;
};

struct TNoCut {
  explicit TNoCut(QObject*) {}
};

template <bool kCut>
class TFieldForm : public QWidget {
 public:
  explicit TFieldForm(THandlerLog& log) : log_(log) {
    auto* box = new QVBoxLayout(this);
    Field = new QLineEdit(this);
    Counter = new QSpinBox(this);
    Counter->setKeyboardTracking(false);  // a typed value is taken on leaving
    box->addWidget(Field);
    box->addWidget(Counter);
    // The handler reaches only the test's log, never the form: without the
    // cut it runs on a half-destroyed form.
    const auto note = [log = &log] {
      ++log->ran;
      if (log->formEnded) ++log->ranAfterFormEnd;
    };
    connect(Field, &QLineEdit::editingFinished, this, note);
    connect(Counter, &QSpinBox::valueChanged, this, note);
  }
  ~TFieldForm() override { log_.formEnded = true; }

  QLineEdit* Field;
  QSpinBox* Counter;

 private:
  THandlerLog& log_;
  std::conditional_t<kCut, platform::TChildSignalCut, TNoCut> cut_{this};
};

// Shows the form, puts the focus in `field` with a typed, uncommitted value,
// then destroys the form the way the program's end does.
template <bool kCut>
THandlerLog DestroyWhileTyping(bool inCounter) {
  THandlerLog log;
  auto* form = new TFieldForm<kCut>(log);
  form->show();
  QApplication::setActiveWindow(form);
  QWidget* field = inCounter ? static_cast<QWidget*>(form->Counter) : form->Field;
  field->setFocus();
  QApplication::processEvents();
  if (!field->hasFocus()) ADD_FAILURE() << "the field never took the focus";
  if (inCounter) {
    form->Counter->selectAll();
    QTest::keyClicks(form->Counter, "7");  // typed, not yet taken
  } else {
    form->Field->setText("12.5");
  }
  const int before = log.ran;
  delete form;
  log.ran -= before;
  return log;
}

TEST(ChildSignalCut, AFieldLosingTheFocusAsItsFormGoesReachesNoHandler) {
  // The premise: without the cut, the focus leaving the field while the
  // window closes runs the handler after the form's destructor.
  for (bool inCounter : {false, true}) {
    SCOPED_TRACE(inCounter ? "spin box" : "line edit");
    const THandlerLog bare = DestroyWhileTyping<false>(inCounter);
    ASSERT_GT(bare.ranAfterFormEnd, 0) << "the platform no longer signals from a closing window";
    const THandlerLog cut = DestroyWhileTyping<true>(inCounter);
    EXPECT_EQ(cut.ranAfterFormEnd, 0);
    EXPECT_EQ(cut.ran, 0);
  }
}

TEST(ChildSignalCut, CuttingLeavesOtherReceiversAndLaterConnectionsAlone) {
  QWidget form;
  auto* field = new QLineEdit(&form);
  QObject outsider;
  int toForm = 0, toOutsider = 0;
  QObject::connect(field, &QLineEdit::textChanged, &form, [&] { ++toForm; });
  QObject::connect(field, &QLineEdit::textChanged, &outsider, [&] { ++toOutsider; });
  platform::TChildSignalCut::CutChildSignals(&form);
  field->setText("a");
  EXPECT_EQ(toForm, 0);
  EXPECT_EQ(toOutsider, 1);
  QObject::connect(field, &QLineEdit::textChanged, &form, [&] { ++toForm; });
  field->setText("b");
  EXPECT_EQ(toForm, 1);
  platform::TChildSignalCut::CutChildSignals(nullptr);  // no form: nothing to cut
}

}  // namespace
