#include "app/home_page.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kirune {

QString userGuidePath() {
  const QString relative =
      QString::fromUtf8(kUserGuideRelativePath.data(), static_cast<qsizetype>(kUserGuideRelativePath.size()));
  QStringList candidates{
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../") + relative)};
  // Programs of the build tree that do not sit one folder below its top (the tests) find its copy here.
  candidates << QDir(QStringLiteral(KIRUNE_BUILD_DIR)).filePath(relative);
  for (const QString& candidate : candidates) {
    const QFileInfo info(candidate);
    if (info.isFile()) return info.canonicalFilePath();
  }
  return {};
}

}  // namespace kirune
