#include "desktop/qt_help_viewer.h"

#include <QTextBrowser>
#include <QUrl>

namespace qm {

QtHelpViewer::~QtHelpViewer() {
  delete window_.data();
}

void QtHelpViewer::ShowContents() {
  if (!window_) {
    window_ = new QTextBrowser(owner_);
    window_->setWindowFlag(Qt::Window);
    window_->setObjectName(QStringLiteral("helpWindow"));
    window_->setWindowTitle(QStringLiteral("Quellmark Help"));
    // The program ends with its main window, whether or not the help is still open.
    window_->setAttribute(Qt::WA_QuitOnClose, false);
    window_->setOpenExternalLinks(true);
    // The window's small, narrow font is for its fixed layout; reading wants a plainer one.
    QFont font = window_->font();
    font.setStretch(QFont::Unstretched);
    font.setPixelSize(13);
    window_->setFont(font);
    window_->resize(720, 600);
    window_->setSource(QUrl(QString::fromLatin1(kDocument)));
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace qm
