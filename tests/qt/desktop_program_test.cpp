// The assembled desktop program driven as a user drives it, under the offscreen platform, with
// real files in a temporary folder: typing, Tab, clicks and keys on the window's widgets, the
// message dialogs answered from inside their own loops, files dropped through Qt's own delivery
// of synthetic drag and drop events, and the event pump beneath.
#include "desktop/desktop_program.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QFile>
#include <QMimeData>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include "desktop/program_resources.h"
#include "desktop/qt_event_pump.h"
#include "desktop/qt_shell.h"
#include "engine/messages.h"
#include "platform/posix_file_system.h"
#include "platform/version.h"

namespace qm {
namespace {

// Answers modal dialogs from inside their own event loop: each dialog that appears takes the
// next step, run once the dialog is on screen. A dialog no step expected, or one that a step
// leaves open, is counted and rejected, so that a test fails instead of hanging. It notes the
// message code each dialog showed.
struct DialogScript : QObject {
  using Step = std::function<void(QDialog&)>;
  static void escape(QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }
  // Return presses the dialog's focused button, the first of the message's own buttons.
  static void enter(QDialog& d) { QTest::keyClick(d.focusWidget(), Qt::Key_Return); }
  DialogScript() { qApp->installEventFilter(this); }
  ~DialogScript() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* dialog = qobject_cast<QDialog*>(object);
    if (event->type() != QEvent::Show || dialog == nullptr || !dialog->isWindow()) return false;
    const Step step = steps.isEmpty() ? Step([](QDialog&) {}) : steps.takeFirst();
    if (code != nullptr) codes.push_back(*code);
    QTimer::singleShot(0, this, [this, target = QPointer<QDialog>(dialog), step] {
      if (target && target->isVisible()) step(*target);
      if (target && target->isVisible()) ++unexpected, target->reject();
    });
    return false;
  }
  QList<Step> steps;
  int unexpected = 0;
  const std::int16_t* code = nullptr;
  std::vector<int> codes;
};

// `size` bytes that differ from block to block, so a misplaced block shows.
QByteArray pattern(int size) {
  std::vector<quint32> words((size + 3) / 4);
  QRandomGenerator(size).fillRange(words.data(), static_cast<qsizetype>(words.size()));
  return QByteArray(reinterpret_cast<const char*>(words.data()), size);
}

// The real pump, with a hook that runs at every call as if the user acted just then.
struct WatchedPump : EventPump {
  double Timer() override { return real.Timer(); }
  void ProcessEvents(double deadline) override {
    if (onEvents) onEvents(++calls);
    real.ProcessEvents(deadline);
  }
  QtEventPump real;
  int calls = 0;
  std::function<void(int)> onEvents;
};

// The association is not what these tests look at: it writes nowhere.
struct NoAssociation : AssociationStore {
  UserFolders Folders() override { return {}; }
  void RunTool(const std::string&, const std::string&) override {}
};

// The program as main() assembles it, in a fresh folder.
struct Fixture {
  Fixture() : program(fs, pump) {
    AddShellHooks(program, fs, store);
    program.Start("");
    program.window.activateWindow();
    script.code = &program.state.MessageCode;
  }
  QWidget* widget(const Control& control) { return program.skin.widgetOf(control); }
  QString text(const TextBox& box) { return widget(box)->property("text").toString(); }
  QStringList fields() { return {text(form.txtSource), text(form.txtDest)}; }
  void click(const Control& control) { QTest::mouseClick(widget(control), Qt::LeftButton); }
  // Return or keypad Enter on the focused button presses it.
  void press(const Control& control, Qt::Key key, Qt::KeyboardModifier keypad = Qt::NoModifier) {
    widget(control)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget(control), key, keypad);
  }
  QString path(const QString& name) const { return dir.filePath(name); }
  QByteArray read(const QString& name) const {
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QByteArray write(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    return bytes;
  }
  // How many widgets show other than what their control holds.
  int mismatches() {
    int wrong = 0;
    for (Control* c : program.form.controls()) {
      QWidget* w = widget(*c);
      bool ok = w->isEnabledTo(w->parentWidget()) == c->enabled() && w->isHidden() != c->visible();
      if (auto* x = dynamic_cast<TextBox*>(c)) ok &= w->property("text") == toQString(x->text());
      if (auto* x = dynamic_cast<Label*>(c)) ok &= w->property("text") == toQString(x->caption());
      if (auto* x = dynamic_cast<ProgressBar*>(c)) ok &= w->property("value") == x->value();
      if (auto* x = dynamic_cast<OptionButton*>(c)) ok &= w->property("checked") == x->value();
      if (auto* x = dynamic_cast<CheckBox*>(c)) ok &= w->property("checked") == (x->value() == 1);
      wrong += ok ? 0 : 1;
    }
    return wrong;
  }
  // Drags the files onto `target` as file managers offer them, with Shift asking for a move, and
  // drops them: the window must answer Copy, or the file manager deletes the original.
  void drop(QWidget* target, const QStringList& names) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& name : names)
      urls.append(QUrl::fromLocalFile(path(name)));
    data.setUrls(urls);
    data.setText(path(names.front()));  // which a text field would gladly insert
    const auto offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(5, 5), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QDropEvent dropped(QPointF(6, 6), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    for (QDropEvent* event : std::initializer_list<QDropEvent*>{&enter, &dropped}) {
      QApplication::sendEvent(target, event);
      QVERIFY(event->isAccepted() && event->dropAction() == Qt::CopyAction);
    }
    // The window takes the files once the drop itself is over.
    QCoreApplication::sendPostedEvents();
  }

  DialogScript script;
  QTemporaryDir dir;
  PosixFileSystem fs;
  WatchedPump pump;
  NoAssociation store;
  DesktopProgram program;
  frmQuellmark& form = program.form;
};

}  // namespace

class DesktopProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    LoadProgramResources();
    UseProgramLook();
  }

  void beginRunsASplitWhileTheWidgetsFollowTheModel() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowActive(&f.program.window));
    const QByteArray bytes = f.write("movie.avi", pattern(2'000'000));
    f.write("other.qkd", "other.avi\r\n2\r\n");
    f.click(f.form.chkAutoStart);  // a drop would now start a run of its own
    f.form.LoadSource(f.path("movie.avi").toStdString());

    int wrong = 0, untitled = 0;
    f.pump.onEvents = [&](int call) {
      wrong += f.mismatches();
      const int shown = qobject_cast<QProgressBar*>(f.widget(f.form.proFile))->value();
      // The title leads with the progress, for the desktop's task bar.
      untitled += f.program.window.windowTitle() !=
                  QString::number(shown) + QStringLiteral("% Quellmark v1.0");
      // A drop while the split runs is ignored.
      if (call == 3) f.drop(&f.program.window, {"other.qkd"});
    };
    // The section bar repaints at most once per frame of the screen, yet shows each part full.
    struct Paints : QObject {
      int all = 0, full = 0;
      bool eventFilter(QObject* bar, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++all, full += bar->property("value").toInt() == 100;
        return false;
      }
    } paints;
    f.widget(f.form.proSection)->installEventFilter(&paints);
    const double started = f.pump.Timer();
    f.press(f.form.cmdBegin, Qt::Key_Return);
    f.pump.onEvents = nullptr;
    const double frames = (f.pump.Timer() - started) * f.program.window.screen()->refreshRate();
    QVERIFY(paints.all <= frames + 2 * 3 + 2);
    QCOMPARE(paints.full, 3);

    QCOMPARE(f.read("movie.001") + f.read("movie.002") + f.read("movie.003"), bytes);
    QCOMPARE(std::tuple(wrong + f.mismatches(), untitled, f.script.unexpected),
             std::tuple(0, 0, 0));
    QCOMPARE(f.text(f.form.txtSource), f.path("movie.avi"));
    // Over: the plain title, and the keyboard back on Begin.
    QCOMPARE(f.program.window.windowTitle(), QStringLiteral("Quellmark v1.0"));
    QCOMPARE(QApplication::focusWidget(), f.widget(f.form.cmdBegin));
  }

  void theDialogsAnswerTheKeyboard() {
    Fixture f;
    frmError& e = f.program.errorForm;
    const auto w = [&](const Control& c) { return f.program.display.dialog()->skin().widgetOf(c); };
    // Escape and the frame's close button answer No to a question and Ok to a message; Return
    // presses the button that has the focus, the first of the message's own buttons.
    const std::pair<int, DialogScript::Step> cases[] = {
        {8, DialogScript::escape}, {7, [](QDialog& d) { d.close(); }}, {4, DialogScript::enter}};
    for (const auto& c : cases) {
      f.script.steps.push_back([&, code = c.first, answer = c.second](QDialog& d) {
        QCOMPARE(w(e.cmdNo)->isVisible(), code != 7);  // 7 is a message, 4 and 8 questions
        QCOMPARE(d.focusWidget(), w(code != 7 ? e.cmdYes : e.cmdOk));
        // The style draws the focus frame from the start, not only after a Tab.
        QStyleOptionButton look;
        look.initFrom(d.focusWidget());
        QVERIFY(look.state.testFlag(QStyle::State_KeyboardFocusChange));
        answer(d);
      });
      f.program.state.MessageCode = static_cast<std::int16_t>(c.first);
      f.program.display.ShowError();
      QCOMPARE(f.program.state.MessageCode, std::int16_t(0));
    }

    // A failure naming a deep path widens the dialog up to nine tenths of the screen, then
    // takes the lines it needs, and Ctrl+C copies the message as it is.
    f.program.state.MessageCode = 9;
    f.program.state.MessageDetail =
        "Could not write /home/someone/" + std::string(900, 'x') + "/movie.003: disk full.";
    f.script.steps.push_back([&](QDialog& d) {
      QVERIFY(d.width() > pixelRect(e.client).width() &&
              d.width() <= d.screen()->availableGeometry().width() * 9 / 10);
      QTextEdit* view = qobject_cast<QTextEdit*>(w(e.Label1));
      QVERIFY(view->document()->idealWidth() <= view->viewport()->width());
      QTest::keyClick(&d, Qt::Key_C, Qt::ControlModifier);
      QCOMPARE(QGuiApplication::clipboard()->text(),
               toQString(MessageText(9, f.program.state.MessageDetail)));
      DialogScript::enter(d);
    });
    f.program.display.ShowError();
    QCOMPARE(f.script.unexpected, 0);
  }

  void theHelpFitsAndClosesFromTheKeyboard() {
    Fixture f;
    // The help fits four fifths of the screen; Escape and Ctrl+W close it.
    for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), Qt::CTRL | Qt::Key_W}) {
      f.press(f.form.cmdHelp, Qt::Key_Enter, Qt::KeypadModifier);
      QTextBrowser* help = f.program.help.window();
      QVERIFY(help != nullptr && help->isVisible());
      QVERIFY(help->size().boundedTo(help->screen()->availableSize() * 4 / 5) == help->size());
      QVERIFY(QTest::qWaitForWindowActive(help));
      QTest::keyClick(help, keys.key(), keys.keyboardModifiers());
      QVERIFY(!help->isVisible());
    }
  }

  void cancellingOrClosingDuringARunAsksFirst() {
    Fixture f;
    f.write("data.bin", pattern(2'000'000));
    f.form.LoadSource(f.path("data.bin").toStdString());
    // Escape on Cancel's question carries on; closing the window then asks the same question,
    // and Yes cancels: the parts go, then the window.
    f.script.steps = {DialogScript::escape, DialogScript::enter, DialogScript::enter};
    f.pump.onEvents = [&](int call) {
      if (call == 4) f.click(f.form.cmdCancel);
      if (call == 8) f.program.window.close();
    };
    f.click(f.form.cmdBegin);
    QCOMPARE(f.script.codes, (std::vector<int>{8, 8, 7}));
    QCOMPARE(f.script.unexpected, 0);
    QVERIFY(!f.program.window.isVisible() && !QFile::exists(f.path("data.001")));
  }

  void theFirstDroppedFileIsLoadedOrRun() {
    Fixture f;
    for (const QString& name : QStringList{"a.txt", "a.txt ", "c.txt", "movie.001", "movie.002"})
      f.write(name, pattern(10));
    f.write("movie.qkd", "movie.avi\r\n2\r\n");
    // On a field, the first file is loaded, with the blank that is part of its name (a.txt is
    // beside it); the field never takes the dropped path as text.
    f.drop(f.widget(f.form.txtSource), {"a.txt ", "movie.qkd", "c.txt"});
    QCOMPARE(f.fields(), QStringList({f.path("a.txt "), f.path("a.txt .qkd")}));
    QVERIFY(!f.form.optJoin.value() && !QFile::exists(f.path("a.txt .001")));
    // With auto-start on, a data file dropped on the window is loaded and joined at once.
    f.click(f.form.chkAutoStart);
    f.drop(&f.program.window, {"movie.qkd"});
    QCOMPARE(f.fields(), QStringList({f.path("movie.qkd"), f.path("movie.avi")}));
    QCOMPARE(f.read("movie.avi"), pattern(10) + pattern(10));
    QCOMPARE(f.script.unexpected, 0);
  }
};

}  // namespace qm

QTEST_MAIN(qm::DesktopProgramTest)
#include "desktop_program_test.moc"
