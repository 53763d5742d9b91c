// The message dialog on screen: what it shows for each message, where the focus starts, and
// how every way of closing it answers through MessageCode.
#include "platform/qt/qt_modal_display.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "platform/qt/program_resources.h"
#include "tests/fakes/scripted_pump.h"
#include "tests/qt/dialog_script.h"

namespace qm {

class QtModalDisplayTest : public QObject {
  Q_OBJECT

 private:
  struct Fixture {
    Fixture() : form(state, pump), display(form, &owner) { owner.show(); }
    JobState state;
    test::ScriptedPump pump;
    frmError form;
    QWidget owner;
    QtModalDisplay display;

    QWidget* widget(const Control& control) { return display.dialog()->skin().widgetOf(control); }
    void click(const Control& control) { QTest::mouseClick(widget(control), Qt::LeftButton); }
    // Shows message `code` and answers it with `step`; returns the code left afterwards.
    int ask(int code, test::DialogScript::Step step) {
      test::DialogScript script;
      script.then(std::move(step));
      state.MessageCode = static_cast<std::int16_t>(code);
      display.ShowError();
      if (script.shown != 1 || script.unexpected != 0) return -1;
      return state.MessageCode;
    }
  };

 private slots:
  void initTestCase() { LoadProgramResources(); }

  void showsTheMessageWithOkAndTheFocusOnIt() {
    Fixture f;
    bool seen = false;
    QCOMPARE(f.ask(2,
                   [&](QDialog& dialog) {
                     QCOMPARE(dialog.windowTitle(), QStringLiteral("ERROR"));
                     QCOMPARE(dialog.parentWidget(), &f.owner);
                     QVERIFY(dialog.isModal());
                     QCOMPARE(dialog.size(), QSize(312, 78));
                     QCOMPARE(qobject_cast<QLabel*>(f.widget(f.form.Label1))->text(),
                              toQString(frmError::MessageText(2, {})));
                     QVERIFY(f.widget(f.form.cmdOk)->isVisible());
                     QVERIFY(!f.widget(f.form.cmdYes)->isVisible());
                     QVERIFY(!f.widget(f.form.cmdNo)->isVisible());
                     QCOMPARE(dialog.focusWidget(), f.widget(f.form.cmdOk));
                     // The error sign is drawn at the top left, as designed.
                     const QImage sign(QStringLiteral(":/error.png"));
                     QCOMPARE(sign.size(), QSize(53, 39));
                     const QImage shown = dialog.grab().toImage();
                     QCOMPARE(shown.pixel(26, 19), sign.pixel(26, 19));
                     QCOMPARE(shown.pixel(3, 20), sign.pixel(3, 20));
                     seen = true;
                     f.click(f.form.cmdOk);
                   }),
             0);
    QVERIFY(seen);
    QVERIFY(!f.display.dialog()->isVisible());
  }

  void questionsShowYesAndNoAndTheAnswerStaysInTheCode() {
    Fixture f;
    // After a one-button message, a question shows only its own two buttons.
    QCOMPARE(f.ask(1, [&](QDialog&) { f.click(f.form.cmdOk); }), 0);
    QCOMPARE(f.ask(4,
                   [&](QDialog& dialog) {
                     QVERIFY(!f.widget(f.form.cmdOk)->isVisible());
                     QVERIFY(f.widget(f.form.cmdYes)->isVisible());
                     QCOMPARE(dialog.focusWidget(), f.widget(f.form.cmdYes));
                     f.click(f.form.cmdNo);
                   }),
             4);
    QCOMPARE(f.ask(4, [&](QDialog&) { f.click(f.form.cmdYes); }), 0);
    QCOMPARE(f.ask(8, [&](QDialog& d) { QTest::keyClick(&d, Qt::Key_Y, Qt::AltModifier); }), 8);
    QCOMPARE(f.ask(8, [&](QDialog& d) { QTest::keyClick(&d, Qt::Key_N, Qt::AltModifier); }), 0);
  }

  void escapeAndTheFrameAnswerOkOrNo() {
    Fixture f;
    QCOMPARE(f.ask(8, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }), 0);
    QCOMPARE(f.ask(4, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }), 4);
    QCOMPARE(f.ask(4, [](QDialog& d) { d.close(); }), 4);
    QCOMPARE(f.ask(7, [](QDialog& d) { d.close(); }), 0);
    QVERIFY(!f.display.dialog()->isVisible());
  }

  void aLongMessageGetsTheLinesItNeeds() {
    Fixture f;
    f.state.MessageDetail = "could not write /home/someone/" + std::string(200, 'x') +
                            "/movie.003: No space left on device. The parts written so far "
                            "were removed.";
    QCOMPARE(f.ask(9,
                   [&](QDialog& dialog) {
                     auto* label = qobject_cast<QLabel*>(f.widget(f.form.Label1));
                     QVERIFY(label->height() >= label->heightForWidth(label->width()));
                     QVERIFY(label->height() > 41);
                     QVERIFY(f.widget(f.form.cmdOk)->y() >= label->geometry().bottom());
                     QVERIFY(dialog.rect().contains(f.widget(f.form.cmdOk)->geometry()));
                     f.click(f.form.cmdOk);
                   }),
             0);
    // The next short message is back to the designed size.
    QCOMPARE(f.ask(2,
                   [&](QDialog& dialog) {
                     QCOMPARE(dialog.size(), QSize(312, 78));
                     f.click(f.form.cmdOk);
                   }),
             0);
  }
};

}  // namespace qm

QTEST_MAIN(qm::QtModalDisplayTest)
#include "qt_modal_display_test.moc"
