// The help window: the program's own document with its pictures, opened without waiting, and
// one window however often Help is pressed.
#include "platform/qt/qt_help_viewer.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>

#include "platform/qt/program_resources.h"

namespace qm {

class QtHelpViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { LoadProgramResources(); }

  void showsTheDocumentWithItsPictures() {
    QWidget owner;
    QtHelpViewer help(&owner);
    QVERIFY(help.window() == nullptr);
    help.ShowContents();
    QTextBrowser* window = help.window();
    QVERIFY(window != nullptr && window->isVisible());
    QVERIFY(window->isWindow());
    const QString text = window->toPlainText();
    for (const char* topic : {"Splitting a file", "Joining parts", "The options", "The batch file",
                              "quellmark-cli split"}) {
      QVERIFY2(text.contains(QLatin1String(topic)), topic);
    }
    // Every picture the document names is built in.
    int pictures = 0;
    for (QTextBlock block = window->document()->begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFormat format = it.fragment().charFormat();
        if (!format.isImageFormat()) continue;
        const QUrl url = window->source().resolved(QUrl(format.toImageFormat().name()));
        const QVariant data = window->loadResource(QTextDocument::ImageResource, url);
        QVERIFY2(!QImage::fromData(data.toByteArray()).isNull(), qPrintable(url.toString()));
        ++pictures;
      }
    }
    QVERIFY(pictures >= 2);
  }

  void helpAgainBringsBackTheSameWindow() {
    QtHelpViewer help(nullptr);
    help.ShowContents();
    QTextBrowser* first = help.window();
    first->close();
    help.ShowContents();
    QCOMPARE(help.window(), first);
    QVERIFY(first->isVisible());
  }
};

}  // namespace qm

QTEST_MAIN(qm::QtHelpViewerTest)
#include "qt_help_viewer_test.moc"
