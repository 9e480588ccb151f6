#include "printing/fonts.h"

#include <QFont>
#include <QString>

namespace kirune {

void installFontSubstitutions() {
  QFont::insertSubstitution(QStringLiteral("HGP教科書体"), QStringLiteral("Klee One"));
  QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QStringLiteral("MS Reference Sans Serif"), QStringLiteral("DejaVu Sans"));
}

}  // namespace kirune
