// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <utility>

namespace zel {

enum LanguageCode { LanguageNotGiven = -1, LanguageEnglish = 0, LanguageGerman = 1 };

// Chooses the table in use. -1 follows the user's locale (German when its language is
// German); every code other than 1 means English. Call it before any background thread
// starts: afterwards the table is only read, so lookups from any thread need no lock.
int SelectLanguage(int code);
int CurrentLanguage();

// The value of key in section "Messages" (the key itself when missing), with every
// backslash + "n" turned into CR LF.
QString Translate(const QString& key);
// As Translate, then each "%s" takes the next argument; when the places do not match the
// arguments the text comes back unformatted.
QString TranslateFormat(const QString& key, const QStringList& arguments);
// Fills "%s" places in order ("%%" is a percent sign); false when a place has no argument
// left or a "%" starts anything else. Arguments beyond the places are ignored.
bool FormatPlaces(const QString& pattern, const QStringList& arguments, QString& result);

QString ColorCaption(int code);
QString ChannelLetter(int channel);

// The "frmPHORIN" section of the table in use, in table order, values unexpanded.
const QVector<std::pair<QString, QString>>& FormTexts();
// The same section of a chosen table (for tests and tools that compare both languages).
const QVector<std::pair<QString, QString>>& FormTexts(int language);
const QVector<std::pair<QString, QString>>& MessageTexts(int language);

QString ExpandLineBreaks(QString text);

} // namespace zel
