// The assembled desktop program driven as a user drives it, with real files in a temporary
// folder: typing, Tab, clicks and access keys on the window's widgets, and the message dialog
// answered from inside its own loop.
#include "platform/qt/desktop_program.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "platform/posix_file_system.h"
#include "platform/qt/program_resources.h"
#include "platform/qt/qt_event_pump.h"
#include "tests/qt/dialog_script.h"

namespace qm {

// The real pump, with a hook that runs at every call as if the user acted just then.
class WatchedPump : public EventPump {
 public:
  double Timer() override { return real.Timer(); }
  void ProcessEvents(double deadline) override {
    ++calls;
    if (onEvents) onEvents(calls);
    real.ProcessEvents(deadline);
  }
  QtEventPump real;
  int calls = 0;
  std::function<void(int)> onEvents;
};

class DesktopProgramTest : public QObject {
  Q_OBJECT

 private:
  struct Fixture {
    Fixture() : program(fs, pump) {
      program.Start("");
      program.window.activateWindow();
    }

    QWidget* widget(const Control& control) { return program.skin.widgetOf(control); }
    void click(const Control& control) { QTest::mouseClick(widget(control), Qt::LeftButton); }
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    std::string read(const std::string& file) const {
      std::ifstream in(file, std::ios::binary);
      return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool exists(const std::string& file) const {
      return QFile::exists(QString::fromStdString(file));
    }
    // A source whose bytes differ from block to block, so a misplaced block shows.
    std::string writeSource(const char* name, std::size_t size) {
      std::string bytes(size, '\0');
      for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131) ^ (i >> 16));
      std::ofstream(path(name), std::ios::binary) << bytes;
      return bytes;
    }
    void typeSource(const std::string& text) {
      widget(program.form.txtSource)->setFocus();
      QTest::keyClicks(widget(program.form.txtSource), QString::fromStdString(text));
    }

    // Answers the message dialog; a message nobody expected is rejected and counted.
    test::DialogScript script;
    QTemporaryDir dir;
    PosixFileSystem fs;
    WatchedPump pump;
    DesktopProgram program;
  };

 private slots:
  void initTestCase() {
    LoadProgramResources();
    UseProgramLook();
  }

  void beginRunsASplitWhoseWidgetsFollowTheModel() {
    Fixture f;
    frmQuellmark& form = f.program.form;
    QVERIFY(QTest::qWaitForWindowActive(&f.program.window));
    const std::string bytes = f.writeSource("movie.avi", 2'000'000);
    f.typeSource(f.path("movie.avi"));
    QTest::keyClick(f.widget(form.txtSource), Qt::Key_Tab);
    // Leaving the field analysed the source: Split mode, a destination, the part count.
    QVERIFY(qobject_cast<QAbstractButton*>(f.widget(form.optSplit))->isChecked());
    QCOMPARE(qobject_cast<QLabel*>(f.widget(form.lblNumber))->text(), QStringLiteral("3"));

    int calls = 0, mismatches = 0, lockedCalls = 0;
    std::vector<int> fileProgress;
    f.pump.onEvents = [&](int) {
      ++calls;
      // Every widget shows what its control holds, at every moment of the run.
      for (Control* control : form.controls()) {
        QWidget* w = f.widget(*control);
        if (w->isEnabledTo(w->parentWidget()) != control->enabled() ||
            w->isHidden() == control->visible()) {
          ++mismatches;
        }
      }
      const int shown = qobject_cast<QProgressBar*>(f.widget(form.proFile))->value();
      if (shown != form.proFile.value() ||
          qobject_cast<QProgressBar*>(f.widget(form.proSection))->value() !=
              form.proSection.value()) {
        ++mismatches;
      }
      fileProgress.push_back(shown);
      // During the run the mode, the names and the sizes are locked; Cancel, Help and the
      // options are not.
      const bool locked =
          !f.widget(form.txtSource)->isEnabled() && !f.widget(form.txtDest)->isEnabled() &&
          !f.widget(form.cmdSource)->isEnabled() && !f.widget(form.optJoin)->isEnabled() &&
          !f.widget(form.Option4)->isEnabled() && f.widget(form.cmdCancel)->isVisible() &&
          f.widget(form.cmdCancel)->isEnabled() && !f.widget(form.cmdBegin)->isVisible() &&
          f.widget(form.cmdHelp)->isEnabled() && f.widget(form.chkDelete)->isEnabled() &&
          f.widget(form.chkSelfJoin)->isEnabled();
      if (locked) ++lockedCalls;
    };
    f.click(form.cmdBegin);
    f.pump.onEvents = nullptr;

    QCOMPARE(f.read(f.path("movie.001")), bytes.substr(0, 737'280));
    QCOMPARE(f.read(f.path("movie.002")), bytes.substr(737'280, 737'280));
    QCOMPARE(f.read(f.path("movie.003")), bytes.substr(2 * 737'280));
    QVERIFY(f.exists(f.path("movie.qkd")));
    QVERIFY(calls > 30);  // 31 blocks of 65,000 bytes, and a pause before each part
    QCOMPARE(mismatches, 0);
    QCOMPARE(lockedCalls, calls);
    QVERIFY(std::is_sorted(fileProgress.begin(), fileProgress.end()));
    QVERIFY(fileProgress.back() >= 90);
    QCOMPARE(f.script.shown, 0);
    // And back to idle.
    QVERIFY(f.widget(form.cmdBegin)->isVisible());
    QVERIFY(!f.widget(form.cmdCancel)->isVisible());
    QVERIFY(f.widget(form.txtSource)->isEnabled());
    QCOMPARE(qobject_cast<QProgressBar*>(f.widget(form.proFile))->value(), 0);
  }

  void aJoinDoneFromTheKeyboardRebuildsTheFileAndCancelStopsIt() {
    Fixture f;
    frmQuellmark& form = f.program.form;
    QVERIFY(QTest::qWaitForWindowActive(&f.program.window));
    const std::string bytes = f.writeSource("movie.avi", 1'600'000);
    f.typeSource(f.path("movie.avi"));
    QTest::keyClick(&f.program.window, Qt::Key_B, Qt::AltModifier);
    QVERIFY(f.exists(f.path("movie.003")));
    QFile::remove(QString::fromStdString(f.path("movie.avi")));

    // Typing the data file and leaving the field switches to Join and names the destination.
    const auto typeDataFile = [&] {
      f.widget(form.txtSource)->setFocus();
      QTest::keyClick(f.widget(form.txtSource), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(f.widget(form.txtSource), QString::fromStdString(f.path("movie.qkd")));
      QTest::keyClick(f.widget(form.txtSource), Qt::Key_Tab);
    };
    typeDataFile();
    QVERIFY(qobject_cast<QAbstractButton*>(f.widget(form.optJoin))->isChecked());
    QCOMPARE(qobject_cast<QLineEdit*>(f.widget(form.txtDest))->text(),
             QString::fromStdString(f.path("movie.avi")));

    // Cancel during the join, confirmed: no destination, the parts untouched.
    const auto press = [&](const CommandButton& button) {
      return [&](QDialog&) {
        QTest::mouseClick(f.program.display.dialog()->skin().widgetOf(button), Qt::LeftButton);
      };
    };
    f.script.then(press(f.program.errorForm.cmdYes)).then(press(f.program.errorForm.cmdOk));
    const int before = f.pump.calls;
    f.pump.onEvents = [&](int call) {
      if (call == before + 3) f.click(form.cmdCancel);
    };
    f.click(form.cmdBegin);
    f.pump.onEvents = nullptr;
    QCOMPARE(f.script.shown, 2);
    QVERIFY(!f.exists(f.path("movie.avi")));
    QVERIFY(f.exists(f.path("movie.003")));

    // And again, to the end.
    f.click(form.cmdBegin);
    QCOMPARE(f.read(f.path("movie.avi")), bytes);
    QCOMPARE(f.script.unexpected, 0);
  }

  void theSourceButtonOpensTheFileDialog() {
    Fixture f;
    f.writeSource("report.txt", 900'000);
    f.script.then([&](QDialog& dialog) {
      QCOMPARE(dialog.windowTitle(), QStringLiteral("Join which file?"));
      auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(field != nullptr);
      // Chosen in the dialog's own field: the folder's listing fills in the background, so
      // the whole path goes in at once rather than key by key.
      static_cast<QFileDialog&>(dialog).selectFile(QString::fromStdString(f.path("report.txt")));
      QTest::keyClick(field, Qt::Key_Return);
    });
    f.click(f.program.form.cmdSource);
    QCOMPARE(f.script.shown, 1);
    QCOMPARE(f.script.unexpected, 0);
    QVERIFY(f.program.form.optSplit.value());
    QCOMPARE(qobject_cast<QLineEdit*>(f.widget(f.program.form.txtSource))->text(),
             QString::fromStdString(f.path("report.txt")));
    QCOMPARE(qobject_cast<QLineEdit*>(f.widget(f.program.form.txtDest))->text(),
             QString::fromStdString(f.path("report.qkd")));
  }

  void aMessageIsAnsweredByAClickWhileTheWindowWaits() {
    Fixture f;
    test::DialogScript& script = f.script;
    script.then([&](QDialog& dialog) {
      QCOMPARE(QApplication::activeModalWidget(), &dialog);
      QCOMPARE(dialog.parentWidget(), &f.program.window);
      auto* label = qobject_cast<QLabel*>(
          f.program.display.dialog()->skin().widgetOf(f.program.errorForm.Label1));
      QCOMPARE(label->text(), toQString(frmError::MessageText(2, {})));
      QTest::mouseClick(f.program.display.dialog()->skin().widgetOf(f.program.errorForm.cmdOk),
                        Qt::LeftButton);
    });
    f.click(f.program.form.cmdBegin);  // with both fields empty
    QCOMPARE(script.shown, 1);
    QCOMPARE(script.unexpected, 0);
    QCOMPARE(f.program.state.MessageCode, std::int16_t{0});
    QVERIFY(!f.program.display.dialog()->isVisible());
  }

  void escapeOnTheCancelQuestionCarriesOn() {
    Fixture f;
    frmQuellmark& form = f.program.form;
    const std::string bytes = f.writeSource("data.bin", 1'000'000);
    f.program.form.LoadSource(f.path("data.bin"));
    test::DialogScript& script = f.script;
    script.then([&](QDialog& dialog) {
      QCOMPARE(f.program.state.MessageCode, std::int16_t{8});
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    f.pump.onEvents = [&](int call) {
      if (call == 4) f.click(form.cmdCancel);
    };
    f.click(form.cmdBegin);
    QCOMPARE(script.shown, 1);
    QCOMPARE(script.unexpected, 0);
    QCOMPARE(f.program.state.MessageCode, std::int16_t{0});
    QCOMPARE(f.read(f.path("data.001")) + f.read(f.path("data.002")), bytes);
  }

  void closingTheWindowDuringARunCancelsItFirst() {
    Fixture f;
    f.writeSource("data.bin", 1'000'000);
    f.program.form.LoadSource(f.path("data.bin"));
    const auto press = [&](const CommandButton& button) {
      return [&](QDialog&) {
        QTest::mouseClick(f.program.display.dialog()->skin().widgetOf(button), Qt::LeftButton);
      };
    };
    test::DialogScript& script = f.script;
    std::vector<int> codes;
    script
        .then([&](QDialog& d) {
          codes.push_back(f.program.state.MessageCode);
          press(f.program.errorForm.cmdYes)(d);
        })
        .then([&](QDialog& d) {
          codes.push_back(f.program.state.MessageCode);
          press(f.program.errorForm.cmdOk)(d);
        });
    f.pump.onEvents = [&](int call) {
      if (call == 4) f.program.window.close();
    };
    f.click(f.program.form.cmdBegin);
    QCOMPARE(codes, (std::vector<int>{8, 7}));
    QCOMPARE(script.unexpected, 0);
    QVERIFY(!f.program.window.isVisible());
    QVERIFY(!f.exists(f.path("data.001")));
    QVERIFY(!f.exists(f.path("data.qkd")));
  }

  void accessKeysWorkAsTheFormSays() {
    Fixture f;
    frmQuellmark& form = f.program.form;
    QVERIFY(QTest::qWaitForWindowActive(&f.program.window));
    QWidget* window = &f.program.window;
    QTest::keyClick(window, Qt::Key_O, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), f.widget(form.cmdSource));
    QTest::keyClick(window, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), f.widget(form.cmdDest));
    // In Join mode the custom size is disabled: "Custom Si&ze" leads on to the next one.
    QTest::keyClick(window, Qt::Key_Z, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), f.widget(form.chkDelete));
    QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
    QVERIFY(form.optSplit.value());
    QTest::keyClick(window, Qt::Key_C, Qt::AltModifier);
    QVERIFY(form.Option6.value());
    QTest::keyClick(window, Qt::Key_Z, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), f.widget(form.txtSize));
    QTest::keyClick(window, Qt::Key_7, Qt::AltModifier);
    QVERIFY(form.Option4.value());

    // Typing a source and pressing Alt+B at once: the key takes the focus to Begin first, so
    // the source is analysed as on leaving the field, and the split runs.
    f.writeSource("notes.txt", 1'000'000);
    f.typeSource(f.path("notes.txt"));
    QTest::keyClick(window, Qt::Key_B, Qt::AltModifier);
    QVERIFY(f.exists(f.path("notes.002")));
    QVERIFY(f.exists(f.path("notes.qkd")));
    QCOMPARE(f.script.shown, 0);
  }

  void tabFollowsTheDesignedOrder() {
    Fixture f;
    frmQuellmark& form = f.program.form;
    QVERIFY(QTest::qWaitForWindowActive(&f.program.window));
    const std::vector<QWidget*> order = {f.widget(form.txtSource), f.widget(form.cmdSource),
                                         f.widget(form.txtDest), f.widget(form.cmdDest),
                                         f.widget(form.optJoin)};
    order.front()->setFocus();
    for (std::size_t i = 1; i < order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), order[i]);
    }
    f.widget(form.cmdBegin)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.widget(form.cmdHelp));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.widget(form.cmdExit));
  }

  void everyCaptionFitsItsControl() {
    Fixture f;
    QCOMPARE(f.program.window.size(), QSize(427, 251));
    QCOMPARE(f.program.window.windowTitle(), QStringLiteral("Quellmark v1.0"));
    f.program.form.optSplit.click();  // the split settings enabled and shown
    f.program.form.Option6.click();
    for (Control* control : f.program.form.controls()) {
      QWidget* w = f.widget(*control);
      if (!control->visible()) continue;
      const QString name = toQString(control->name());
      QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(name));
      if (auto* label = qobject_cast<QLabel*>(w)) {
        const QString text = QString(label->text()).remove(QLatin1Char('&'));
        QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= w->width(), qPrintable(name));
        QVERIFY2(label->fontMetrics().height() <= w->height(), qPrintable(name));
      } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        const QString text = QString(button->text()).remove(QLatin1Char('&'));
        QVERIFY2(button->fontMetrics().horizontalAdvance(text) + 8 <= w->width(), qPrintable(name));
      } else if (auto* box = qobject_cast<QAbstractButton*>(w)) {
        // Check boxes and option buttons: the mark, the gap and the caption.
        QStyleOptionButton option;
        option.initFrom(box);
        const bool radio = qobject_cast<QRadioButton*>(box) != nullptr;
        const QRect room = box->style()->subElementRect(
            radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, box);
        const QString text = QString(box->text()).remove(QLatin1Char('&'));
        QVERIFY2(box->fontMetrics().horizontalAdvance(text) <= room.width(), qPrintable(name));
        const int mark = box->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, box);
        QVERIFY2(std::max(mark, box->fontMetrics().height()) <= w->height(), qPrintable(name));
      }
    }
  }

  void helpOpensTheProgramsOwnDocumentAndExitCloses() {
    Fixture f;
    f.click(f.program.form.cmdHelp);
    QTextBrowser* help = f.program.help.window();
    QVERIFY(help != nullptr && help->isVisible());
    QVERIFY(help->toPlainText().contains(QStringLiteral("Splitting a file")));
    f.click(f.program.form.cmdExit);
    QVERIFY(!f.program.window.isVisible());
  }
};

}  // namespace qm

QTEST_MAIN(qm::DesktopProgramTest)
#include "desktop_program_test.moc"
