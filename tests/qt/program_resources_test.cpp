// The pictures built into the binary are there, in the sizes and colours they are drawn for.
#include "platform/qt/program_resources.h"

#include <set>

#include <QApplication>
#include <QImage>
#include <QTest>

namespace qm {

class ProgramResourcesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { LoadProgramResources(); }

  void theIconComesInEverySize() {
    const QIcon icon = ProgramIcon();
    for (const int size : {32, 48, 64, 128, 256}) {
      QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
               qPrintable(QString::number(size)));
    }
    // The 32-pixel drawing keeps to sixteen colours.
    const QImage small(QStringLiteral(":/icons/quellmark-32.png"));
    std::set<QRgb> colours;
    for (int y = 0; y < small.height(); ++y) {
      for (int x = 0; x < small.width(); ++x) {
        if (qAlpha(small.pixel(x, y)) != 0) colours.insert(small.pixel(x, y));
      }
    }
    QVERIFY(colours.size() <= 16);
  }

  void theMessageSignSitsOnGrey() {
    const QImage sign(QStringLiteral(":/error.png"));
    QCOMPARE(sign.size(), QSize(53, 39));
    QCOMPARE(sign.pixel(0, 0), qRgb(192, 192, 192));
    QCOMPARE(sign.pixel(52, 38), qRgb(192, 192, 192));
  }
};

}  // namespace qm

QTEST_MAIN(qm::ProgramResourcesTest)
#include "program_resources_test.moc"
