#include "printing/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace kirune {

namespace {
const QString kHand = QStringLiteral("Klee One");
const QString kGothic = QStringLiteral("IPAPGothic");
}  // namespace

void installFontSubstitutions() {
  QFont::insertSubstitution(QStringLiteral("HGP教科書体"), kHand);
  QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), kGothic);
  QFont::insertSubstitution(QStringLiteral("MS Reference Sans Serif"), QStringLiteral("DejaVu Sans"));
}

QString missingFontsNotice(bool window) {
  QStringList missing;
  QStringList packages;
  if (!QFontDatabase::hasFamily(kHand)) {
    missing << kHand + QStringLiteral("（プリントの文字）");
    packages << QStringLiteral("fonts-klee");
  }
  if (window && !QFontDatabase::hasFamily(kGothic)) {
    missing << kGothic + QStringLiteral("（画面の文字）");
    packages << QStringLiteral("fonts-ipafont-gothic");
  }
  if (missing.isEmpty()) return {};
  return QStringLiteral(
             "フォントが見つかりません: %1。ほかのフォントで続けますが、文字が□になったり、"
             "PDF の文字を選べなかったりします（%2 を入れてください）")
      .arg(missing.join(QStringLiteral("、")), packages.join(QStringLiteral(" と ")));
}

}  // namespace kirune
