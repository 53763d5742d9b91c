// Files dropped on the real window, through Qt's own delivery of drag and drop events: the
// window takes local files anywhere, the text fields included, and refuses everything else.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix_file_system.h"
#include "platform/qt/desktop_program.h"
#include "platform/qt/form_skin.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/qt_shell.h"

namespace qm {
namespace {

// The association is not what these tests look at: it writes nowhere.
class NoAssociation : public AssociationStore {
 public:
  UserFolders Folders() override { return {}; }
  void RunTool(const std::string&, const std::string&) override {}
};

}  // namespace

class DropTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void dataFileWithAutoStartOffFillsTheJoin();
  void plainFileWithAutoStartOnRunsTheSplit();
  void theFirstOfThreeFilesWins();
  void aDropOnATextFieldIsTheWindows();
  void aLongPathIsTakenWhole();
  void aDropDuringARunIsIgnored();
  void onlyLocalFilesAreAccepted();

 private:
  QString path(const QString& name) const { return dir_->filePath(name); }
  std::string stdPath(const QString& name) const {
    return QFile::encodeName(path(name)).toStdString();
  }
  void write(const QString& name, const QByteArray& bytes) const;
  QByteArray read(const QString& name) const;
  QByteArray pattern(int length) const;
  void writePartSet(const QString& stem) const;
  QLineEdit* edit(const TextBox& box) const {
    return qobject_cast<QLineEdit*>(program_->skin.widgetOf(box));
  }
  static std::unique_ptr<QMimeData> filesData(const QStringList& paths);
  // Drags `data` over `target` and reports whether the drag cursor would allow the drop.
  static bool dragOver(QWidget* target, const QMimeData& data);
  // Drags the files onto `target`, drops them, and lets the window handle the drop.
  void drop(QWidget* target, const QStringList& names);
  void autoStart();

  std::unique_ptr<QTemporaryDir> dir_;
  PosixFileSystem fs_;
  QtEventPump pump_;
  NoAssociation store_;
  std::unique_ptr<DesktopProgram> program_;
};

void DropTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(dir_->isValid());
  program_ = std::make_unique<DesktopProgram>(fs_, pump_);
  AddShellHooks(*program_, fs_, store_);
  program_->Start("");
  QVERIFY(QTest::qWaitForWindowExposed(&program_->window));
}

void DropTest::cleanup() {
  program_.reset();
  dir_.reset();
}

void DropTest::write(const QString& name, const QByteArray& bytes) const {
  QDir().mkpath(QFileInfo(path(name)).absolutePath());
  QFile file(path(name));
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray DropTest::read(const QString& name) const {
  QFile file(path(name));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray DropTest::pattern(int length) const {
  QByteArray bytes(length, '\0');
  quint32 x = 12345;
  for (char& c : bytes) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

void DropTest::writePartSet(const QString& stem) const {
  const QByteArray whole = pattern(200000);
  write(stem + ".001", whole.mid(0, 80000));
  write(stem + ".002", whole.mid(80000, 80000));
  write(stem + ".003", whole.mid(160000));
  write(stem + ".qkd", QFileInfo(stem).fileName().toUtf8() + ".avi\r\n3\r\n");
}

std::unique_ptr<QMimeData> DropTest::filesData(const QStringList& paths) {
  // As file managers offer them: the files' addresses, and the same as plain text, which a text
  // field would gladly insert.
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  QStringList lines;
  for (const QString& p : paths) {
    urls.append(QUrl::fromLocalFile(p));
    lines.append(urls.back().toString());
  }
  data->setUrls(urls);
  data->setText(lines.join('\n'));
  return data;
}

bool DropTest::dragOver(QWidget* target, const QMimeData& data) {
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(QPoint(6, 6), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  return move.isAccepted();
}

void DropTest::drop(QWidget* target, const QStringList& names) {
  QStringList paths;
  for (const QString& name : names)
    paths.append(name.startsWith('/') ? name : path(name));
  const auto data = filesData(paths);
  QVERIFY(dragOver(target, *data));
  QDropEvent dropped(QPointF(6, 6), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &dropped);
  QVERIFY(dropped.isAccepted());
  // The window takes the files once the drop itself is over.
  QCoreApplication::sendPostedEvents();
}

void DropTest::autoStart() {
  QTest::mouseClick(program_->skin.widgetOf(program_->form.chkAutoStart), Qt::LeftButton);
  QCOMPARE(program_->form.chkAutoStart.value(), 1);
}

void DropTest::dataFileWithAutoStartOffFillsTheJoin() {
  writePartSet("movie");
  write("notes.txt", "n");
  drop(&program_->window, {"notes.txt"});
  QVERIFY(program_->form.optSplit.value());

  drop(&program_->window, {"movie.qkd"});
  frmQuellmark& form = program_->form;
  QVERIFY(form.optJoin.value());
  QCOMPARE(edit(form.txtSource)->text(), path("movie.qkd"));
  QCOMPARE(edit(form.txtDest)->text(), path("movie.avi"));
  QCOMPARE(form.lblNumber.caption(), std::string("3"));
  QVERIFY(!QFile::exists(path("movie.avi")));
}

void DropTest::plainFileWithAutoStartOnRunsTheSplit() {
  autoStart();
  const QByteArray whole = pattern(1600000);
  write("big file.bin", whole);
  drop(&program_->window, {"big file.bin"});

  QVERIFY(program_->form.optSplit.value());
  QCOMPARE(read("big file.001") + read("big file.002") + read("big file.003"), whole);
  QVERIFY(QFile::exists(path("big file.qkd")));
  QVERIFY(!program_->form.state().Running);
  QVERIFY(program_->skin.widgetOf(program_->form.cmdBegin)->isVisible());
}

void DropTest::theFirstOfThreeFilesWins() {
  writePartSet("movie");
  write("a.txt", "a");
  write("c.txt", "c");
  drop(&program_->window, {"a.txt", "movie.qkd", "c.txt"});
  QVERIFY(program_->form.optSplit.value());
  QCOMPARE(edit(program_->form.txtSource)->text(), path("a.txt"));
  QCOMPARE(edit(program_->form.txtDest)->text(), path("a.qkd"));
}

void DropTest::aDropOnATextFieldIsTheWindows() {
  write("report.txt", "r");
  frmQuellmark& form = program_->form;
  for (TextBox* box : {&form.txtDest, &form.txtSource, &form.txtSize}) {
    drop(edit(*box), {"report.txt"});
    // The fields hold what the window made of the drop, not the dropped path as typed text.
    QCOMPARE(edit(form.txtSource)->text(), path("report.txt"));
    QCOMPARE(edit(form.txtDest)->text(), path("report.qkd"));
    QCOMPARE(edit(form.txtSize)->text(), QStringLiteral("0"));
  }
}

void DropTest::aLongPathIsTakenWhole() {
  const QString deep = QString(100, 'd') + "/" + QString(100, 'e') + "/" + QString(100, 'f') +
                       "/a file with a long name.txt";
  write(deep, "x");
  QVERIFY(path(deep).size() > 300);
  drop(&program_->window, {deep});
  QCOMPARE(edit(program_->form.txtSource)->text(), path(deep));
  QCOMPARE(edit(program_->form.txtDest)->text(), path(deep).chopped(4) + ".qkd");
}

void DropTest::aDropDuringARunIsIgnored() {
  writePartSet("movie");
  const QByteArray whole = pattern(1600000);
  write("first.bin", whole);
  drop(&program_->window, {"first.bin"});
  autoStart();  // a drop would now start a run of its own, were it not ignored

  // The drop arrives while the split lets the window handle its events.
  bool dropped = false;
  QTimer::singleShot(0, this, [&] {
    QVERIFY(program_->form.state().Running);
    drop(&program_->window, {"movie.qkd"});
    dropped = true;
  });
  QTest::mouseClick(program_->skin.widgetOf(program_->form.cmdBegin), Qt::LeftButton);

  QVERIFY(dropped);
  QVERIFY(program_->form.optSplit.value());
  QCOMPARE(edit(program_->form.txtSource)->text(), path("first.bin"));
  QCOMPARE(read("first.001") + read("first.002") + read("first.003"), whole);
  QVERIFY(!QFile::exists(path("movie.avi")));
}

void DropTest::onlyLocalFilesAreAccepted() {
  write("a.txt", "a");
  QMimeData text;
  text.setText(path("a.txt"));
  QVERIFY(!dragOver(&program_->window, text));
  QVERIFY(!dragOver(edit(program_->form.txtSource), text));
  QMimeData remote;
  remote.setUrls({QUrl(QStringLiteral("https://example.org/a.txt"))});
  QVERIFY(!dragOver(&program_->window, remote));
  QVERIFY(dragOver(&program_->window, *filesData({path("a.txt")})));

  // Once the window has gone, it takes no drops, and the text fields are as Qt made them.
  program_->form.Form_Unload();
  QVERIFY(!program_->window.acceptDrops());
  QVERIFY(edit(program_->form.txtSource)->acceptDrops());
  QVERIFY(!dragOver(&program_->window, *filesData({path("a.txt")})));
}

}  // namespace qm

QTEST_MAIN(qm::DropTest)
#include "drop_test.moc"
