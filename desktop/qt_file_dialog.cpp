#include "desktop/qt_file_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "desktop/form_skin.h"

namespace qm {

QStringList nameFilters(const std::string& filter) {
  const QStringList fields = toQString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
    QStringList patterns = fields[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      pattern = pattern.trimmed();
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    }
    QString description = fields[i].trimmed();
    // "All Files (*.*)" carries its patterns for the eye; Qt reads them from the end.
    const qsizetype open = description.lastIndexOf(QLatin1Char('('));
    if (open > 0 && description.endsWith(QLatin1Char(')'))) {
      description = description.left(open).trimmed();
    }
    filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')');
  }
  return filters;
}

std::optional<FileDialogResult> QtFileDialog::ShowOpen(const FileDialogRequest& request) {
  return show(request, false);
}

std::optional<FileDialogResult> QtFileDialog::ShowSave(const FileDialogRequest& request) {
  return show(request, true);
}

std::optional<FileDialogResult> QtFileDialog::show(const FileDialogRequest& request, bool save) {
  QFileDialog dialog(owner_, toQString(request.title),
                     QFile::decodeName(request.initialFolder.c_str()));
  dialog.setObjectName(save ? QStringLiteral("saveDialog") : QStringLiteral("openDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // A typed name need not exist yet, only its folder; the form decides what to do with it.
  dialog.setFileMode(QFileDialog::AnyFile);
  // Replacing an existing destination is the form's question, not the dialog's.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  const QStringList filters = nameFilters(request.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!request.fileName.empty()) dialog.selectFile(QFile::decodeName(request.fileName.c_str()));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
  const QString& path = chosen.first();
  return FileDialogResult{QFile::encodeName(path).toStdString(),
                          QFile::encodeName(QFileInfo(path).fileName()).toStdString()};
}

}  // namespace qm
