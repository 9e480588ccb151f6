#include "app/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kirune {

namespace {

// What Qt's print dialog shows that Debian's Japanese catalogue leaves in English, by the dialog's
// form (the translation context) and its English text.
struct Missing {
  const char* context;
  const char* english;
  const char* japanese;
};
constexpr Missing kMissing[] = {
    {"QPrintSettingsOutput", "Pages", "ページ指定"},
    {"QPrintSettingsOutput", "Double Sided Printing", "両面印刷"},
    {"QPrintSettingsOutput", "Long side binding", "長辺とじ"},
    {"QPrintSettingsOutput", "Short side binding", "短辺とじ"},
    {"QPrintPropertiesWidget", "Advanced", "詳細"},
};

// Kirune's own small catalogue, asked before Qt's: it answers only for the texts above.
class MissingTexts final : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                    int /*n*/) const override {
    if (!context || !sourceText) return {};
    for (const Missing& m : kMissing) {
      if (qstrcmp(context, m.context) == 0 && qstrcmp(sourceText, m.english) == 0)
        return QString::fromUtf8(m.japanese);
    }
    return {};
  }
  bool isEmpty() const override { return false; }
};

}  // namespace

bool installQtJapanese(QCoreApplication& app) {
  // Owned by the application, so they live as long as the translations are used.
  auto* translator = new QTranslator(&app);
  const bool loaded =
      translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator);
  if (!loaded) delete translator;
  // Installed after Qt's, so it is asked first.
  QCoreApplication::installTranslator(new MissingTexts(&app));
  return loaded;
}

}  // namespace kirune
