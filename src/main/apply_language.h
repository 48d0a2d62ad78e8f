#pragma once

#include <QTabWidget>
#include <QWidget>

namespace zel {

// Chooses the language table (-1: the user's locale) and writes its captions and hints into
// the window's controls, found by their design names. Returns the language chosen. Call it
// once, before any link thread starts.
int ApplyLanguage(QWidget& form, QTabWidget& pc, int code);

// The language chosen under Options / Language for the next start (English, German, or
// LanguageNotGiven for the system's); a start switch overrides it.
int StoredLanguage();
void StoreLanguage(int code);

} // namespace zel
