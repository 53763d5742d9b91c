// The assembled desktop program driven as a user drives it, under the offscreen platform, with
// real files in a temporary folder: typing, Tab, clicks and access keys on the window's
// widgets, the message and file dialogs answered from inside their own loops, files dropped
// through Qt's own delivery of synthetic drag and drop events, and the event pump beneath.
#include "desktop/desktop_program.h"

#include <algorithm>
#include <deque>

#include <QClipboard>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
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
// next step of the script, run once the dialog is on screen. A dialog the script did not
// expect, or one that a step leaves open, is counted and rejected, so that a test fails
// instead of hanging.
class DialogScript : public QObject {
 public:
  using Step = std::function<void(QDialog&)>;

  DialogScript() { qApp->installEventFilter(this); }
  ~DialogScript() override { qApp->removeEventFilter(this); }

  DialogScript& then(Step step) {
    steps.push_back(std::move(step));
    return *this;
  }

  std::deque<Step> steps;
  int unexpected = 0;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* dialog = qobject_cast<QDialog*>(object);
    if (event->type() != QEvent::Show || dialog == nullptr || !dialog->isWindow()) return false;
    const Step step = steps.empty() ? [](QDialog&) {} : steps.front();
    if (!steps.empty()) steps.pop_front();
    QTimer::singleShot(0, this, [this, target = QPointer<QDialog>(dialog), step] {
      if (target && target->isVisible()) step(*target);
      // Nothing was scripted, or the step failed half-way: the test must not wait on the dialog.
      if (target && target->isVisible()) {
        ++unexpected;
        target->reject();
      }
    });
    return false;
  }
};

// `size` bytes that differ from block to block, so a misplaced block shows.
QByteArray pattern(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 131) ^ (i >> 16));
  return bytes;
}

// The real pump, with a hook that runs at every call as if the user acted just then.
class WatchedPump : public EventPump {
 public:
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
class NoAssociation : public AssociationStore {
 public:
  UserFolders Folders() override { return {}; }
  void RunTool(const std::string&, const std::string&) override {}
};

// Drags `data` over `target` and reports whether the drag cursor would allow the drop.
// File managers offer a drop as a copy or a move, and Shift asks for the move; the window must
// answer Copy, or the file manager deletes the original.
constexpr Qt::DropActions kOffered = Qt::CopyAction | Qt::MoveAction;
constexpr Qt::KeyboardModifiers kMove = Qt::ShiftModifier;
bool dragOver(QWidget* target, const QMimeData& data) {
  QDragEnterEvent enter(QPoint(5, 5), kOffered, &data, Qt::LeftButton, kMove);
  QApplication::sendEvent(target, &enter);
  QDragMoveEvent move(QPoint(6, 6), kOffered, &data, Qt::LeftButton, kMove);
  if (enter.isAccepted()) QApplication::sendEvent(target, &move);
  return enter.isAccepted() && move.isAccepted() && move.dropAction() == Qt::CopyAction;
}

// The program as main() assembles it, in a fresh folder.
struct Fixture {
  Fixture() : program(fs, pump) {
    AddShellHooks(program, fs, store);
    program.Start("");
    program.window.activateWindow();
  }
  QWidget* widget(const Control& control) { return program.skin.widgetOf(control); }
  QLineEdit* edit(const TextBox& box) { return qobject_cast<QLineEdit*>(widget(box)); }
  void click(const Control& control) { QTest::mouseClick(widget(control), Qt::LeftButton); }
  // Return or keypad Enter on the focused button presses it.
  void press(const Control& control, Qt::Key key, Qt::KeyboardModifier keypad = Qt::NoModifier) {
    widget(control)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget(control), key, keypad);
  }
  // Answers the message dialog with a click on `button`.
  DialogScript::Step press(const CommandButton& button) {
    return [this, &button](QDialog&) {
      QTest::mouseClick(program.display.dialog()->skin().widgetOf(button), Qt::LeftButton);
    };
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
  // Drags the files onto `target`, drops them, and lets the window handle the drop.
  void drop(QWidget* target, const QStringList& names) {
    // As file managers offer files: their addresses, and the same as plain text, which a text
    // field would gladly insert.
    auto data = std::make_unique<QMimeData>();
    QStringList paths;
    QList<QUrl> urls;
    for (const QString& name : names)
      urls.append(QUrl::fromLocalFile(paths.emplace_back(path(name))));
    data->setUrls(urls);
    data->setText(paths.join('\n'));
    QVERIFY(dragOver(target, *data));
    QDropEvent dropped(QPointF(6, 6), kOffered, data.get(), Qt::LeftButton, kMove);
    QApplication::sendEvent(target, &dropped);
    QVERIFY(dropped.isAccepted());
    QCOMPARE(dropped.dropAction(), Qt::CopyAction);
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
    f.edit(f.form.txtSource)->setFocus();
    QTest::keyClicks(f.edit(f.form.txtSource), f.path("movie.avi"));
    QTest::keyClick(f.edit(f.form.txtSource), Qt::Key_Tab);
    // Leaving the field analysed what was typed, and Tab went on in the form's order.
    QCOMPARE(QApplication::focusWidget(), f.widget(f.form.cmdSource));
    QCOMPARE(f.form.lblNumber.caption(), std::string("3"));
    QCOMPARE(f.mismatches(), 0);

    int wrong = 0, untitled = 0;
    std::vector<int> shown;
    f.pump.onEvents = [&](int) {
      wrong += f.mismatches();
      shown.push_back(qobject_cast<QProgressBar*>(f.widget(f.form.proFile))->value());
      // The title leads with the progress, for the desktop's task bar.
      untitled += f.program.window.windowTitle() !=
                  QString::number(shown.back()) + QStringLiteral("% Quellmark v1.0");
    };
    // The section bar repaints at most once per frame of the screen, yet shows each part full.
    struct Paints : QObject {
      std::vector<int> shown;
      bool eventFilter(QObject* bar, QEvent* event) override {
        if (event->type() == QEvent::Paint) shown.push_back(bar->property("value").toInt());
        return false;
      }
    } paints;
    f.widget(f.form.proSection)->installEventFilter(&paints);
    QElapsedTimer clock;
    clock.start();
    f.press(f.form.cmdBegin, Qt::Key_Return);
    f.pump.onEvents = nullptr;
    const qint64 frames = clock.elapsed() * f.program.window.screen()->refreshRate() / 1000;
    QVERIFY(paints.shown.size() <= static_cast<std::size_t>(frames) + 2 * 3 + 2);
    QCOMPARE(std::count(paints.shown.begin(), paints.shown.end(), 100), 3);

    QCOMPARE(f.read("movie.001") + f.read("movie.002") + f.read("movie.003"), bytes);
    QVERIFY(f.pump.calls > 30);  // 31 blocks of 65,000 bytes, and a pause before each part
    QCOMPARE(std::tuple(wrong, untitled, f.script.unexpected), std::tuple(0, 0, 0));
    QVERIFY(std::is_sorted(shown.begin(), shown.end()) && shown.back() >= 90);
    // Over: the plain title, and the keyboard back on Begin.
    QCOMPARE(f.program.window.windowTitle(), QStringLiteral("Quellmark v1.0"));
    QCOMPARE(QApplication::focusWidget(), f.widget(f.form.cmdBegin));
    QCOMPARE(f.mismatches(), 0);
  }

  void theMessageDialogAnswersThroughTheCode() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowActive(&f.program.window));
    frmError& e = f.program.errorForm;
    const auto w = [&](const Control& c) { return f.program.display.dialog()->skin().widgetOf(c); };
    const auto text = [&] { return qobject_cast<QTextEdit*>(w(e.Label1)); };
    // Escape and the frame's close button answer No to a question and Ok to a message; Return
    // presses the button that has the focus.
    const struct {
      int code;
      char how;  // a click on Ok or No, Alt+Y, Escape, the frame's close button, Return
      int left;
    } cases[] = {{2, 'O', 0}, {4, 'N', 4}, {8, 'y', 8}, {8, 'E', 0}, {7, 'X', 0}, {4, 'R', 0}};
    for (const auto& c : cases) {
      const bool question = c.code == 4 || c.code == 8;
      f.script.then([&](QDialog& d) {
        QCOMPARE(d.parentWidget(), &f.program.window);
        QCOMPARE(text()->toPlainText(), toQString(MessageText(c.code, {})));
        QCOMPARE(d.size(), pixelRect(e.client).size());
        // Only the message's own buttons, the focus on the first of them, and shown.
        QCOMPARE(w(e.cmdOk)->isVisible(), !question);
        QCOMPARE(w(e.cmdNo)->isVisible(), question);
        QCOMPARE(d.focusWidget(), w(question ? e.cmdYes : e.cmdOk));
        // The style draws the focus frame from the start, not only after a Tab.
        QStyleOptionButton look;
        look.initFrom(d.focusWidget());
        QVERIFY(look.state.testFlag(QStyle::State_KeyboardFocusChange));
        if (c.how == 'R') QTest::keyClick(d.focusWidget(), Qt::Key_Return);
        if (c.how == 'y') QTest::keyClick(&d, Qt::Key_Y, Qt::AltModifier);
        if (c.how == 'E') QTest::keyClick(&d, Qt::Key_Escape);
        if (c.how == 'X') d.close();
        if (c.how == 'O' || c.how == 'N') f.press(c.how == 'O' ? e.cmdOk : e.cmdNo)(d);
      });
      f.program.state.MessageCode = static_cast<std::int16_t>(c.code);
      f.program.display.ShowError();
      QCOMPARE(f.program.state.MessageCode, std::int16_t(c.left));
    }

    // A failure naming a deep path widens the dialog up to nine tenths of the screen, then
    // takes the lines it needs; no piece of the path runs off the edge, and Ctrl+C copies the
    // message as it is.
    const QString deep = "/home/someone/" + QString(900, 'x') + "/movie.003";
    f.program.state.MessageCode = 9;
    f.program.state.MessageDetail = "Could not write " + deep.toStdString() + ": disk full.";
    f.script.then([&](QDialog& d) {
      const int screen = d.screen()->availableGeometry().width();
      QVERIFY(d.width() > pixelRect(e.client).width() && d.width() <= screen * 9 / 10);
      QTextEdit* view = text();
      QVERIFY(view->document()->idealWidth() <= view->viewport()->width());
      QVERIFY(view->document()->size().height() <= view->viewport()->height());
      QVERIFY(w(e.cmdOk)->y() >= view->geometry().bottom());
      QVERIFY(d.rect().contains(w(e.cmdOk)->geometry()));
      QTest::keyClick(&d, Qt::Key_C, Qt::ControlModifier);
      QCOMPARE(QGuiApplication::clipboard()->text(),
               toQString(MessageText(9, f.program.state.MessageDetail)));
      f.press(e.cmdOk)(d);
    });
    f.program.display.ShowError();
    QCOMPARE(f.script.unexpected, 0);
  }

  void cancellingOrClosingDuringARunAsksFirst() {
    Fixture f;
    f.write("data.bin", pattern(2'000'000));
    f.form.LoadSource(f.path("data.bin").toStdString());
    // Escape on Cancel's question carries on; closing the window then asks the same question,
    // and Yes cancels: the parts go, then the window.
    std::vector<int> codes;
    const auto answer = [&](DialogScript::Step step) {
      return [&codes, &f, step](QDialog& d) {
        codes.push_back(f.program.state.MessageCode);
        step(d);
      };
    };
    f.script.then(answer([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }))
        .then(answer(f.press(f.program.errorForm.cmdYes)))
        .then(answer(f.press(f.program.errorForm.cmdOk)));
    f.pump.onEvents = [&](int call) {
      if (call == 4) f.click(f.form.cmdCancel);
      if (call == 8) f.program.window.close();
    };
    f.click(f.form.cmdBegin);
    QCOMPARE(codes, (std::vector<int>{8, 8, 7}));
    QCOMPARE(f.script.unexpected, 0);
    QVERIFY(!f.program.window.isVisible());
    QVERIFY(!QFile::exists(f.path("data.001")) && !QFile::exists(f.path("data.qkd")));
  }

  void theKeyboardFollowsTheForm() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowActive(&f.program.window));
    // A label's key focuses the next control that can take the focus now: in Join mode the
    // custom size is off, so "Custom Si&ze" leads on to the one after it, without clicking it.
    const auto altKey = [&](Qt::Key key) {
      QTest::keyClick(&f.program.window, key, Qt::AltModifier);
      return QApplication::focusWidget();
    };
    QCOMPARE(altKey(Qt::Key_Z), f.widget(f.form.chkDelete));
    QCOMPARE(f.form.chkDelete.value(), 0);
    altKey(Qt::Key_S);
    altKey(Qt::Key_C);
    QCOMPARE(altKey(Qt::Key_Z), f.widget(f.form.txtSize));
    altKey(Qt::Key_7);  // back to a fixed size, 720 kb

    // Selecting all of a name counts characters in the model and UTF-16 units in Qt.
    f.form.txtDest.setText("/tmp/\xF0\x9F\x98\x80.avi");
    f.edit(f.form.txtDest)->setFocus();
    QCOMPARE(f.edit(f.form.txtDest)->selectedText(), QStringLiteral(u"/tmp/\U0001F600.avi"));
  }

  void theHelpFitsAndClosesFromTheKeyboard() {
    Fixture f;
    // The help fits four fifths of the screen, over the window; Escape and Ctrl+W close it.
    f.program.window.move(f.program.window.screen()->availableGeometry().center() -
                          f.program.window.rect().center());
    for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), Qt::CTRL | Qt::Key_W}) {
      f.press(f.form.cmdHelp, Qt::Key_Enter, Qt::KeypadModifier);
      QTextBrowser* help = f.program.help.window();
      QVERIFY(help != nullptr && help->isVisible());
      QVERIFY(help->toPlainText().contains(QStringLiteral("Splitting a file")));
      // The document is configured with the version.
      QVERIFY(
          help->toPlainText().contains(QStringLiteral("Quellmark v") + QLatin1String(kVersion)));
      const QRect screen = help->screen()->availableGeometry();
      QVERIFY(help->width() <= screen.width() * 4 / 5 && help->height() <= screen.height() * 4 / 5);
      QVERIFY((help->frameGeometry().center() - f.program.window.frameGeometry().center())
                  .manhattanLength() <= 4);
      QVERIFY(QTest::qWaitForWindowActive(help));
      QTest::keyClick(help, keys.key(), keys.keyboardModifiers());
      QVERIFY(!help->isVisible());
    }
  }

  void thePumpHandlesEventsAndReturns() {
    QtEventPump pump;
    QStringList order;
    // A wait nested in a handler of another ends first, though it outlasts the outer deadline.
    QTimer::singleShot(1, this, [&] {
      order.push_back("inner begins");
      pump.ProcessEvents(pump.Timer() + 0.1);
      order.push_back("inner ends");
    });
    pump.ProcessEvents(pump.Timer() + 0.05);
    order.push_back("outer ends");
    QCOMPARE(order, QStringList({"inner begins", "inner ends", "outer ends"}));
  }

  void theFirstDroppedFileIsLoadedOrRun() {
    const struct {
      QString dropped;               // names separated by ';'
      TextBox frmQuellmark::*field;  // dropped on the window, or on this field
      QString source, dest;          // what the fields show afterwards
      bool join;
      int made;  // files a run started by the drop wrote; none: auto-start off
    } cases[] = {
        {"movie.qkd", nullptr, "movie.qkd", "movie.avi", true, 1},
        {"big file.bin", nullptr, "big file.bin", "big file.qkd", false, 5},
        {"a.txt;movie.qkd;c.txt", &frmQuellmark::txtSource, "a.txt", "a.qkd", false, 0},
        // Beside a.txt: the blank is part of the name, so the drop must not lose it.
        {"a.txt ", nullptr, "a.txt ", "a.txt .qkd", false, 0},
    };
    for (const auto& c : cases) {
      qInfo() << c.dropped;
      Fixture f;
      for (const QString& name : QStringList{"a.txt", "a.txt ", "c.txt", "movie.001", "movie.002"})
        f.write(name, pattern(10));
      f.write("big file.bin", pattern(1'600'000));
      f.write("movie.qkd", "movie.avi\r\n2\r\n");
      if (c.made > 0) f.click(f.form.chkAutoStart);
      const qsizetype before = QDir(f.dir.path()).entryList(QDir::Files).size();
      QWidget* window = &f.program.window;
      f.drop(c.field != nullptr ? f.edit(f.form.*c.field) : window, c.dropped.split(';'));
      // The fields hold what the window made of the drop, never the dropped path as text.
      QCOMPARE(f.edit(f.form.txtSource)->text(), f.path(c.source));
      QCOMPARE(f.edit(f.form.txtDest)->text(), f.path(c.dest));
      QCOMPARE(f.form.optJoin.value(), c.join);
      QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files).size(), before + c.made);
      QCOMPARE(f.script.unexpected, 0);
      QVERIFY(!f.form.state().Running);
    }
    // Only local files: not a text, which a field would insert, nor a remote address.
    Fixture f;
    QMimeData text, remote;
    text.setText(f.path("a.txt"));
    remote.setUrls({QUrl(QStringLiteral("https://example.org/a.txt"))});
    QVERIFY(!dragOver(&f.program.window, text));
    QVERIFY(!dragOver(f.edit(f.form.txtSource), text));
    QVERIFY(!dragOver(&f.program.window, remote));
  }

  void aDropDuringARunIsIgnored() {
    Fixture f;
    const QByteArray bytes = f.write("big file.bin", pattern(1'600'000));
    f.write("movie.qkd", "movie.avi\r\n3\r\n");
    f.drop(&f.program.window, {"big file.bin"});
    f.click(f.form.chkAutoStart);  // a drop would now start a run of its own
    // The drop arrives while the split lets the window handle its events.
    bool dropped = false;
    QTimer::singleShot(0, this, [&] {
      QVERIFY(f.form.state().Running);
      f.drop(&f.program.window, {"movie.qkd"});
      dropped = true;
    });
    f.click(f.form.cmdBegin);
    QVERIFY(dropped);
    QCOMPARE(f.edit(f.form.txtSource)->text(), f.path("big file.bin"));
    QCOMPARE(f.read("big file.001") + f.read("big file.002") + f.read("big file.003"), bytes);
    QCOMPARE(f.script.unexpected, 0);
  }
};

}  // namespace qm

QTEST_MAIN(qm::DesktopProgramTest)
#include "desktop_program_test.moc"
