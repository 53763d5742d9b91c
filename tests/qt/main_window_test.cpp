// The main window's frame: it asks before it closes, and hands dropped local files on.
#include "platform/qt/main_window.h"

#include <string>
#include <vector>

#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

namespace qm {

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  // Drags `urls` over the window and lets go; returns whether the window took the drop.
  static bool drop(MainWindow& window, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &dropped);
    return dropped.isAccepted();
  }

 private slots:
  void closingAsksFirst() {
    MainWindow window;
    bool allow = false;
    int closing = 0;
    window.QueryClose = [&] { return allow; };
    window.Closing = [&] { ++closing; };
    window.show();
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QCOMPARE(closing, 0);
    allow = true;
    QVERIFY(window.close());
    QVERIFY(!window.isVisible());
    QCOMPARE(closing, 1);
  }

  void dropsOfLocalFilesReachTheListener() {
    MainWindow window;
    window.setAcceptDrops(true);
    const QList<QUrl> urls = {QUrl::fromLocalFile(QStringLiteral("/tmp/a b.avi")),
                              QUrl(QStringLiteral("https://example.org/x")),
                              QUrl::fromLocalFile(QStringLiteral("/tmp/c.qkd"))};
    // Nobody listening: the window does not take the drop.
    QVERIFY(!drop(window, urls));
    std::vector<std::string> received;
    window.FilesDropped = [&](const std::vector<std::string>& files) { received = files; };
    QVERIFY(!drop(window, {QUrl(QStringLiteral("https://example.org/x"))}));
    QVERIFY(drop(window, urls));
    QCOMPARE(received, (std::vector<std::string>{"/tmp/a b.avi", "/tmp/c.qkd"}));
  }
};

}  // namespace qm

QTEST_MAIN(qm::MainWindowTest)
#include "main_window_test.moc"
