// The skin against a small form with one control of every kind: widgets follow the model,
// the user's input reaches the model, and focus, access keys and tab order behave as the form
// expects of them.
#include "platform/qt/form_skin.h"

#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace qm {

// A form like the program's: a frame holding most controls, each event written to a log.
class SampleForm : public Form {
 public:
  SampleForm()
      : Form("frmSample"),
        fraBox(*this, "fraBox"),
        txtOther(*this, "txtOther"),
        lblName(*this, "lblName"),
        txtName(*this, "txtName"),
        cmdGo(*this, "cmdGo"),
        cmdHidden(*this, "cmdHidden"),
        chkFlag(*this, "chkFlag"),
        optA(*this, "optA"),
        optB(*this, "optB"),
        cboUnit(*this, "cboUnit"),
        proBar(*this, "proBar"),
        lblValue(*this, "lblValue"),
        lblMessage(*this, "lblMessage") {
    setCaption("Sample");
    client = {0, 0, 6000, 3000};
    fraBox.rect = {0, 0, 6000, 3000};
    for (Control* c : controls()) {
      if (c != &fraBox) c->container = &fraBox;
    }
    lblName.rect = {120, 360, 975, 255};
    lblName.setCaption("&Name");
    lblName.tabIndex = 0;
    txtName.rect = {1320, 240, 4215, 375};
    txtName.tabIndex = 1;
    // Laid down before txtName but later in tab order.
    txtOther.rect = {1320, 720, 4215, 375};
    txtOther.tabIndex = 2;
    cmdGo.rect = {120, 2400, 1095, 375};
    cmdGo.setCaption("&Go");
    cmdGo.tabIndex = 3;
    cmdGo.bold = true;
    cmdHidden.rect = {120, 2400, 1095, 375};
    cmdHidden.setCaption("&Hidden");
    cmdHidden.tabIndex = 4;
    cmdHidden.setVisible(false);
    chkFlag.rect = {120, 1200, 2295, 192};
    chkFlag.setCaption("&Flag");
    chkFlag.tabIndex = 5;
    optA.rect = {2400, 1200, 855, 255};
    optA.setCaption("Option &A");
    optA.tabIndex = 6;
    optB.rect = {2400, 1440, 855, 255};
    optB.setCaption("Option &B");
    optB.tabIndex = 7;
    cboUnit.rect = {3600, 1200, 615, 315};
    cboUnit.tabIndex = 8;
    proBar.rect = {120, 1800, 1935, 255};
    lblValue.rect = {120, 2100, 615, 255};
    lblValue.colour = ColourRole::ValueField;
    lblMessage.rect = {2400, 1800, 3000, 255};

    txtName.Change = [this] { log.push_back("txtName.Change " + txtName.text()); };
    txtName.GotFocus = [this] {
      log.push_back("txtName.GotFocus");
      txtName.setSelection(0, static_cast<int>(txtName.text().size()));
    };
    txtName.LostFocus = [this] {
      log.push_back("txtName.LostFocus");
      if (txtName.text() == "jump") txtOther.setFocus();
    };
    txtOther.GotFocus = [this] { log.push_back("txtOther.GotFocus"); };
    txtOther.LostFocus = [this] { log.push_back("txtOther.LostFocus"); };
    cmdGo.Click = [this] { log.push_back("cmdGo.Click"); };
    cmdHidden.Click = [this] { log.push_back("cmdHidden.Click"); };
    chkFlag.Click = [this] { log.push_back("chkFlag.Click " + std::to_string(chkFlag.value())); };
    optA.Click = [this] { log.push_back("optA.Click"); };
    optB.Click = [this] { log.push_back("optB.Click"); };
    cboUnit.Click = [this] { log.push_back("cboUnit.Click " + cboUnit.text()); };
  }

  Frame fraBox;
  TextBox txtOther;
  Label lblName;
  TextBox txtName;
  CommandButton cmdGo;
  CommandButton cmdHidden;
  CheckBox chkFlag;
  OptionButton optA;
  OptionButton optB;
  ComboBox cboUnit;
  ProgressBar proBar;
  Label lblValue;
  Label lblMessage;
  std::vector<std::string> log;
};

class FormSkinTest : public QObject {
  Q_OBJECT

 private:
  // A fresh form in a fresh, active window for every test.
  struct Fixture {
    Fixture() : skin(form, window) {
      form.cboUnit.addItem("b");
      form.cboUnit.addItem("Kb");
      form.cboUnit.addItem("Mb");
      window.show();
      window.activateWindow();
    }
    template <class W>
    W* widget(const Control& control) {
      return qobject_cast<W*>(skin.widgetOf(control));
    }
    SampleForm form;
    QWidget window;
    FormSkin skin;
  };

 private slots:
  void countsCharactersWhereQtCountsUnits() {
    const QString text = QStringLiteral(u"a\U0001F600b");  // the emoji takes two units
    QCOMPARE(unitsForChars(text, 2), 3);
    QCOMPARE(charsForUnits(text, 3), 2);
    QCOMPARE(unitsForChars(text, 9), 4);
    QCOMPARE(fromQString(toQString("r\xC3\xA9sum\xC3\xA9")), std::string("r\xC3\xA9sum\xC3\xA9"));
    QCOMPARE(pixelRect({5640, 240, 375, 375}), QRect(376, 16, 25, 25));
  }

  void buildsOneWidgetOfItsKindPerControl() {
    Fixture f;
    QVERIFY(f.widget<QGroupBox>(f.form.fraBox) != nullptr);
    QVERIFY(f.widget<QGroupBox>(f.form.fraBox)->title().isEmpty());
    QVERIFY(f.widget<QLabel>(f.form.lblName) != nullptr);
    QVERIFY(f.widget<QLineEdit>(f.form.txtName) != nullptr);
    QVERIFY(f.widget<QPushButton>(f.form.cmdGo) != nullptr);
    QVERIFY(f.widget<QCheckBox>(f.form.chkFlag) != nullptr);
    QVERIFY(f.widget<QRadioButton>(f.form.optA) != nullptr);
    QVERIFY(f.widget<QComboBox>(f.form.cboUnit) != nullptr);
    QVERIFY(f.widget<QProgressBar>(f.form.proBar) != nullptr);
    // Contained controls sit in their container's widget, at their twips in pixels.
    QCOMPARE(f.skin.widgetOf(f.form.txtName)->parentWidget(), f.skin.widgetOf(f.form.fraBox));
    QCOMPARE(f.skin.widgetOf(f.form.lblName)->geometry(), QRect(8, 24, 65, 17));
    QCOMPARE(f.skin.widgetOf(f.form.chkFlag)->geometry(), QRect(8, 80, 153, 13));
    QCOMPARE(f.window.size(), QSize(400, 200));
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Sample"));
    QCOMPARE(f.skin.controlOf(f.skin.widgetOf(f.form.cmdGo)), &f.form.cmdGo);
    QVERIFY(f.skin.controlOf(&f.window) == nullptr);
    // Captions keep their access keys; value fields take the colours of an entry field.
    QCOMPARE(f.widget<QPushButton>(f.form.cmdGo)->text(), QStringLiteral("&Go"));
    QVERIFY(f.widget<QPushButton>(f.form.cmdGo)->font().bold());
    QVERIFY(!f.widget<QCheckBox>(f.form.chkFlag)->font().bold());
    QLabel* value = f.widget<QLabel>(f.form.lblValue);
    QCOMPARE(value->backgroundRole(), QPalette::Base);
    QCOMPARE(value->foregroundRole(), QPalette::Text);
    QVERIFY(value->autoFillBackground());
    QVERIFY(!f.widget<QLabel>(f.form.lblName)->autoFillBackground());
    QVERIFY(f.skin.widgetOf(f.form.cmdHidden)->isHidden());
  }

  void modelChangesReachTheWidgets() {
    Fixture f;
    f.form.txtName.setText("r\xC3\xA9sum\xC3\xA9");
    QCOMPARE(f.widget<QLineEdit>(f.form.txtName)->text(), QStringLiteral(u"résumé"));
    f.form.lblValue.setCaption("12");
    QCOMPARE(f.widget<QLabel>(f.form.lblValue)->text(), QStringLiteral("12"));
    f.form.chkFlag.setValue(1);
    QVERIFY(f.widget<QCheckBox>(f.form.chkFlag)->isChecked());
    f.form.proBar.setValue(42);
    QCOMPARE(f.widget<QProgressBar>(f.form.proBar)->value(), 42);
    f.form.cboUnit.setListIndex(2);
    QCOMPARE(f.widget<QComboBox>(f.form.cboUnit)->count(), 3);
    QCOMPARE(f.widget<QComboBox>(f.form.cboUnit)->currentText(), QStringLiteral("Mb"));
    f.form.cmdGo.setEnabled(false);
    QVERIFY(!f.skin.widgetOf(f.form.cmdGo)->isEnabled());
    f.form.cmdHidden.setVisible(true);
    QVERIFY(f.skin.widgetOf(f.form.cmdHidden)->isVisible());
    // Each event once: the widgets' own signals do not come back as a second one.
    const std::vector<std::string> expected = {"txtName.Change r\xC3\xA9sum\xC3\xA9",
                                               "chkFlag.Click 1", "cboUnit.Click Mb"};
    QCOMPARE(f.form.log, expected);
  }

  void optionGroupsFollowTheModelEvenWhenItClearsTheSelection() {
    Fixture f;
    f.form.optA.setValue(true);
    f.form.optB.setValue(true);
    QVERIFY(!f.widget<QRadioButton>(f.form.optA)->isChecked());
    QVERIFY(f.widget<QRadioButton>(f.form.optB)->isChecked());
    // Qt alone would refuse to clear the checked button of an exclusive group.
    f.form.optB.setValue(false);
    QVERIFY(!f.widget<QRadioButton>(f.form.optB)->isChecked());
    QVERIFY(f.widget<QRadioButton>(f.form.optB)->autoExclusive());
  }

  void typingReachesTheModelAndTheCaretStays() {
    Fixture f;
    QLineEdit* edit = f.widget<QLineEdit>(f.form.txtName);
    edit->setFocus();
    QTest::keyClicks(edit, "abc");
    QCOMPARE(f.form.txtName.text(), std::string("abc"));
    QCOMPARE(edit->text(), QStringLiteral("abc"));
    QCOMPARE(f.form.txtName.selStart(), 3);
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClicks(edit, "X");
    QCOMPARE(f.form.txtName.text(), std::string("aXbc"));
    QCOMPARE(f.form.txtName.selStart(), 2);
    QCOMPARE(f.form.log.back(), std::string("txtName.Change aXbc"));
  }

  void clicksAndSelectionsReachTheModel() {
    Fixture f;
    // Clicks land on the check mark or the circle, which every style counts as the button.
    const QPoint mark(6, 6);
    QTest::mouseClick(f.skin.widgetOf(f.form.chkFlag), Qt::LeftButton, {}, mark);
    QCOMPARE(f.form.chkFlag.value(), 1);
    QTest::mouseClick(f.skin.widgetOf(f.form.optB), Qt::LeftButton, {}, mark);
    QVERIFY(f.form.optB.value());
    QTest::mouseClick(f.skin.widgetOf(f.form.optA), Qt::LeftButton, {}, mark);
    QVERIFY(f.form.optA.value());
    QVERIFY(!f.form.optB.value());
    QVERIFY(!f.widget<QRadioButton>(f.form.optB)->isChecked());
    QTest::mouseClick(f.skin.widgetOf(f.form.cmdGo), Qt::LeftButton);
    QComboBox* combo = f.widget<QComboBox>(f.form.cboUnit);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(f.form.cboUnit.listIndex(), 0);
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(f.form.cboUnit.listIndex(), 1);
    const std::vector<std::string> expected = {"chkFlag.Click 1", "optB.Click",
                                               "optA.Click",      "cmdGo.Click",
                                               "cboUnit.Click b", "cboUnit.Click Kb"};
    QCOMPARE(f.form.log, expected);
  }

  void focusMovesTellTheModelAndTheModelMovesTheFocus() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    QLineEdit* name = f.widget<QLineEdit>(f.form.txtName);
    QLineEdit* other = f.widget<QLineEdit>(f.form.txtOther);
    f.form.txtName.setText("\xF0\x9F\x98\x80x");  // an emoji, two UTF-16 units, then x
    other->setFocus();
    f.form.log.clear();
    name->setFocus();
    QCOMPARE(f.form.focused(), &f.form.txtName);
    // GotFocus selects all, counted in characters by the model, in UTF-16 units by Qt.
    QCOMPARE(name->selectedText(), name->text());
    QCOMPARE(f.form.txtName.selLength(), 2);
    f.form.txtName.setSelection(1, 1);
    QCOMPARE(name->selectedText(), QStringLiteral("x"));
    QTest::keyClick(name, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), other);
    QCOMPARE(f.form.focused(), &f.form.txtOther);
    f.form.txtName.setFocus();
    QCOMPARE(QApplication::focusWidget(), name);
    // A LostFocus handler that sends the focus elsewhere has the last word.
    f.form.txtName.setText("jump");
    f.form.log.clear();
    QTest::mouseClick(f.skin.widgetOf(f.form.chkFlag), Qt::LeftButton, {}, QPoint(6, 6));
    QCOMPARE(QApplication::focusWidget(), other);
    QCOMPARE(f.form.focused(), &f.form.txtOther);
    const std::vector<std::string> expected = {"txtName.LostFocus", "txtOther.GotFocus",
                                               "chkFlag.Click 1"};
    QCOMPARE(f.form.log, expected);
  }

  void focusLostToAModelChangeIsReportedAfterIt() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.skin.widgetOf(f.form.txtName)->setFocus();
    f.form.log.clear();
    // Disabling the focused box makes Qt move the focus on; the form's handlers must not run
    // inside its own setter, so the move is reported once the change is done.
    f.form.txtName.setEnabled(false);
    QVERIFY(f.form.log.empty());
    QCOMPARE(QApplication::focusWidget(), f.skin.widgetOf(f.form.txtOther));
    QCoreApplication::processEvents();
    const std::vector<std::string> expected = {"txtName.LostFocus", "txtOther.GotFocus"};
    QCOMPARE(f.form.log, expected);
    QCOMPARE(f.form.focused(), &f.form.txtOther);
  }

  void tabOrderFollowsTheTabIndex() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    std::vector<QWidget*> expected = {
        f.skin.widgetOf(f.form.txtName), f.skin.widgetOf(f.form.txtOther),
        f.skin.widgetOf(f.form.cmdGo), f.skin.widgetOf(f.form.chkFlag),
        f.skin.widgetOf(f.form.optA)};
    expected.front()->setFocus();
    for (std::size_t i = 1; i < expected.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), expected[i]);
    }
  }

  void accessKeysFocusAndClickAtOnce() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.skin.widgetOf(f.form.txtOther)->setFocus();
    f.form.log.clear();
    // A button's key takes the focus first, so the text box's LostFocus comes before Click.
    QTest::keyClick(&f.window, Qt::Key_G, Qt::AltModifier);
    const std::vector<std::string> clicked = {"txtOther.LostFocus", "cmdGo.Click"};
    QCOMPARE(f.form.log, clicked);
    QCOMPARE(QApplication::focusWidget(), f.skin.widgetOf(f.form.cmdGo));
    QTest::keyClick(&f.window, Qt::Key_F, Qt::AltModifier);
    QCOMPARE(f.form.chkFlag.value(), 1);
    QTest::keyClick(&f.window, Qt::Key_B, Qt::AltModifier);
    QVERIFY(f.form.optB.value());
    // Hidden and disabled controls do not answer to their keys.
    f.form.log.clear();
    QTest::keyClick(&f.window, Qt::Key_H, Qt::AltModifier);
    f.form.cmdGo.setEnabled(false);
    QTest::keyClick(&f.window, Qt::Key_G, Qt::AltModifier);
    QVERIFY(f.form.log.empty());
  }

  void aLabelsKeyFocusesTheNextControlThatCanTakeIt() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    QLabel* label = f.widget<QLabel>(f.form.lblName);
    QCOMPARE(label->buddy(), f.skin.widgetOf(f.form.txtName));
    f.skin.widgetOf(f.form.chkFlag)->setFocus();
    QTest::keyClick(&f.window, Qt::Key_N, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), f.skin.widgetOf(f.form.txtName));
    QCOMPARE(f.form.focused(), &f.form.txtName);
    // With the next one disabled the key skips it, as the form's tab order says.
    f.skin.widgetOf(f.form.chkFlag)->setFocus();
    f.form.txtName.setEnabled(false);
    QCOMPARE(label->buddy(), f.skin.widgetOf(f.form.txtOther));
    QTest::keyClick(&f.window, Qt::Key_N, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), f.skin.widgetOf(f.form.txtOther));
    // Focusing a button by a label's key does not press it.
    f.form.txtOther.setEnabled(false);
    f.form.log.clear();
    QTest::keyClick(&f.window, Qt::Key_N, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), f.skin.widgetOf(f.form.cmdGo));
    QVERIFY(f.form.log.empty());
  }

  void lettingGoLeavesTheModelAlone() {
    SampleForm form;
    {
      QWidget window;
      FormSkin skin(form, window);
    }
    form.txtName.setText("after");
    form.txtName.setFocus();
    QCOMPARE(form.txtName.text(), std::string("after"));
  }
};

}  // namespace qm

QTEST_MAIN(qm::FormSkinTest)
#include "form_skin_test.moc"
