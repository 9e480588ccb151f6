#pragma once

class QCoreApplication;

namespace kirune {

/// Loads Qt's own Japanese translation (Debian's qt6-translations-l10n), so that the dialogs Qt draws
/// (the printer set-up, the print preview, the buttons of message boxes) speak the window's language
/// whatever the desktop's locale, and Kirune's own Japanese for the few texts of the printer dialog that
/// Debian's catalogue lacks ("Double Sided Printing" ...). False when Qt's translation is not installed:
/// Qt then speaks English.
bool installQtJapanese(QCoreApplication& app);

}  // namespace kirune
