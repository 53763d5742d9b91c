#include "desktop/program_resources.h"

#include <QApplication>
#include <QFont>
#include <QProxyStyle>
#include <QStyleFactory>

// The resources live in a static library, so nothing registers them unless asked.
static void initQuellmarkResources() {
  Q_INIT_RESOURCE(quellmark);
  Q_INIT_RESOURCE(quellmark_help);  // configured with the version, so built apart
}

namespace qm {

namespace {

// Fusion with the check marks and option circles one pixel smaller, so that they fit the
// 13-pixel-high check boxes of the layout.
class ProgramStyle : public QProxyStyle {
 public:
  ProgramStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    switch (metric) {
      case PM_IndicatorWidth:
      case PM_IndicatorHeight:
      case PM_ExclusiveIndicatorWidth:
      case PM_ExclusiveIndicatorHeight:
        return 13;
      default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }
};

}  // namespace

void LoadProgramResources() {
  initQuellmarkResources();
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/quellmark-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

void UseProgramLook() {
  // The application takes the style over and deletes it when it ends.
  QApplication::setStyle(new ProgramStyle);
  // DejaVu Sans comes with every desktop's font set-up; its condensed face (or Qt's narrowing
  // of the plain one, where the face is missing) fits the captions into the layout. Pixels,
  // not points: they scale with the layout on high-DPI screens and nowhere else.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStretch(QFont::SemiCondensed);
  font.setPixelSize(10);
  QApplication::setFont(font);
}

}  // namespace qm
