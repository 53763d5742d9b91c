// The Open and Save dialogs as the user sees them: the title, folder, filters and name they
// were asked for, what a typed name returns, and Cancel.
#include "platform/qt/qt_file_dialog.h"

#include <fstream>

#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "tests/qt/dialog_script.h"

namespace qm {

class QtFileDialogTest : public QObject {
  Q_OBJECT

 private:
  // Types `name` into the dialog's name field and presses Enter, as a user would.
  static void typeName(QDialog& dialog, const QString& name) {
    auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(field != nullptr);
    field->clear();
    QTest::keyClicks(field, name);
    QTest::keyClick(field, Qt::Key_Return);
  }

 private slots:
  void convertsTheFilterIntoQtsForm() {
    QCOMPARE(nameFilters("Quellmark Data Files (*.qkd)|*.qkd|All Files (*.*)|*.*"),
             QStringList({QStringLiteral("Quellmark Data Files (*.qkd)"),
                          QStringLiteral("All Files (*)")}));
    QCOMPARE(nameFilters("Texts|*.txt;*.md"), QStringList{QStringLiteral("Texts (*.txt *.md)")});
    QVERIFY(nameFilters("").isEmpty());
  }

  void openShowsTheRequestAndReturnsTheTypedName() {
    QTemporaryDir dir;
    std::ofstream(dir.filePath(QStringLiteral("movie.qkd")).toStdString()) << "x";
    QWidget owner;
    QtFileDialog dialogs(&owner);
    test::DialogScript script;
    script.then([&](QDialog& d) {
      auto& dialog = static_cast<QFileDialog&>(d);
      QCOMPARE(dialog.windowTitle(), QStringLiteral("Join which file?"));
      QCOMPARE(dialog.parentWidget(), &owner);
      QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
      QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptOpen);
      QCOMPARE(dialog.directory().absolutePath(), dir.path());
      QCOMPARE(dialog.nameFilters().size(), 2);
      QCOMPARE(dialog.selectedNameFilter(), QStringLiteral("Quellmark Data Files (*.qkd)"));
      typeName(dialog, QStringLiteral("movie.qkd"));
    });
    const auto result = dialogs.ShowOpen({"Join which file?",
                                          "Quellmark Data Files (*.qkd)|*.qkd|All Files (*.*)|*.*",
                                          dir.path().toStdString() + "/", ""});
    QCOMPARE(script.unexpected, 0);
    QVERIFY(result.has_value());
    QCOMPARE(result->fileName, dir.filePath(QStringLiteral("movie.qkd")).toStdString());
    QCOMPARE(result->fileTitle, std::string("movie.qkd"));

    // A name that does not exist yet comes back as well; what it means is the form's affair.
    script.then([](QDialog& d) { typeName(d, QStringLiteral("absent.bin")); });
    const auto absent = dialogs.ShowOpen(
        {"Split which file?", "All Files (*.*)|*.*", dir.path().toStdString(), ""});
    QVERIFY(absent.has_value());
    QCOMPARE(absent->fileTitle, std::string("absent.bin"));
  }

  void saveOffersTheNameAndNeverAsksAboutReplacing() {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("movie.qkd"));
    std::ofstream(existing.toStdString()) << "x";
    QtFileDialog dialogs(nullptr);
    test::DialogScript script;
    script.then([&](QDialog& d) {
      auto& dialog = static_cast<QFileDialog&>(d);
      QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
      QCOMPARE(dialog.selectedFiles(), QStringList{existing});
      QTest::keyClick(dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")), Qt::Key_Return);
    });
    const auto result = dialogs.ShowSave({"Choose Destination Path", "All Files (*.*)|*.*",
                                          dir.path().toStdString() + "/", "movie.qkd"});
    // A question about replacing would have been a second dialog.
    QCOMPARE(script.shown, 1);
    QCOMPARE(script.unexpected, 0);
    QVERIFY(result.has_value());
    QCOMPARE(result->fileName, existing.toStdString());
  }

  void cancelReturnsNothing() {
    QtFileDialog dialogs(nullptr);
    test::DialogScript script;
    script.then([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    QVERIFY(!dialogs.ShowOpen({"Split which file?", "All Files (*.*)|*.*", "/", ""}));
    QCOMPARE(script.unexpected, 0);
  }
};

}  // namespace qm

QTEST_MAIN(qm::QtFileDialogTest)
#include "qt_file_dialog_test.moc"
