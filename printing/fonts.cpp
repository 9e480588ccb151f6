#include "printing/fonts.h"

#include <fontconfig/fontconfig.h>

#include <QFont>
#include <QString>
#include <QStringList>

namespace kirune {

namespace {
const QString kHand = QStringLiteral("Klee One");
const QString kGothic = QStringLiteral("IPAPGothic");
// Whether a font with `family` among any of its family names is installed. Qt knows a family by the
// name for the current language only: under a Japanese locale Klee One is 「クレー One」 to it.
bool installed(const QString& family) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  const QByteArray name = family.toUtf8();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.constData()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
  FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
  const bool found = fonts != nullptr && fonts->nfont > 0;
  if (fonts) FcFontSetDestroy(fonts);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return found;
}

}  // namespace

void installFontSubstitutions() {
  QFont::insertSubstitution(QStringLiteral("HGP教科書体"), kHand);
  QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), kGothic);
  QFont::insertSubstitution(QStringLiteral("MS Reference Sans Serif"), QStringLiteral("DejaVu Sans"));
}

QString missingFontsNotice(bool window) {
  QStringList missing;
  QStringList packages;
  if (!installed(kHand)) {
    missing << kHand + QStringLiteral("（プリントの文字）");
    packages << QStringLiteral("fonts-klee");
  }
  if (window && !installed(kGothic)) {
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
