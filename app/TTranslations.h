#pragma once

class QCoreApplication;

// The toolkit's own texts (standard buttons, Page Setup and print dialogs,
// context menus) in Bulgarian, as every other text of the program.
class TTranslations {
public:
    // Loads qtbase_bg from the toolkit's translations folder; false when it
    // is not installed (the standard texts then stay in English).
    static bool install(QCoreApplication& app);
};
