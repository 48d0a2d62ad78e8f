// SPDX-License-Identifier: GPL-3.0-or-later
#include "lang/translate.h"

#include <QLocale>
#include <QSet>
#include <QTest>

using namespace zel;

namespace {

using Section = QVector<std::pair<QString, QString>>;

QStringList Keys(const Section& section) {
    QStringList keys;
    for (const auto& [key, value] : section)
        keys << key;
    return keys;
}

QString FormValue(int language, const QString& key) {
    for (const auto& [name, value] : FormTexts(language))
        if (name == key)
            return value;
    return QString();
}

} // namespace

class TranslateTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        SelectLanguage(LanguageEnglish);
    }
    void cleanupTestCase() { QLocale::setDefault(QLocale::c()); }

    void BothTablesHaveTheSameKeysInTheSameOrder() {
        const Section& englishMessages = MessageTexts(LanguageEnglish);
        const Section& germanMessages = MessageTexts(LanguageGerman);
        const Section& englishForm = FormTexts(LanguageEnglish);
        const Section& germanForm = FormTexts(LanguageGerman);
        QCOMPARE(englishMessages.size(), 186);
        QCOMPARE(englishForm.size(), 169);
        QCOMPARE(Keys(germanMessages), Keys(englishMessages));
        QCOMPARE(Keys(germanForm), Keys(englishForm));
        // The reader drops repeated message keys but keeps repeated form keys.
        const QStringList formKeys = Keys(englishForm);
        QCOMPARE(QSet<QString>(formKeys.begin(), formKeys.end()).size(), 169);

        QCOMPARE(englishMessages.first().first, QStringLiteral("Started"));
        QCOMPARE(englishMessages.last().first, QStringLiteral("LastWriteAcknowledged"));
        QCOMPARE(englishForm.first().first, QStringLiteral("mem.Caption"));
        QCOMPARE(englishForm.last().first, QStringLiteral("btnVisualizeDesignDay.Caption"));
    }

    void TranslationsKeepTheArgumentPlaces() {
        const auto check = [](const Section& english, const Section& german) {
            for (int i = 0; i < english.size(); ++i) {
                const QString& key = english[i].first;
                QVERIFY2(english[i].second.count(QLatin1String("%s")) ==
                             german[i].second.count(QLatin1String("%s")),
                         qPrintable(key));
            }
        };
        check(MessageTexts(LanguageEnglish), MessageTexts(LanguageGerman));
        check(FormTexts(LanguageEnglish), FormTexts(LanguageGerman));

        // The channel templates take exactly one letter, or nothing for the page caption.
        QString label;
        QVERIFY(FormatPlaces(FormValue(LanguageEnglish, "lblName0.Caption"), {ChannelLetter(2)},
                             label));
        QCOMPARE(label, QStringLiteral("Label for channel G"));
        QString page;
        QVERIFY(FormatPlaces(FormValue(LanguageGerman, "tsChannels.Caption"), {QString()}, page));
        QCOMPARE(page.trimmed(), QStringLiteral("Kanäle"));
    }

    void NoValueIsEmptyOrQuoted() {
        for (int language : {LanguageEnglish, LanguageGerman}) {
            for (const Section* section : {&MessageTexts(language), &FormTexts(language)}) {
                for (const auto& [key, value] : *section) {
                    QVERIFY2(!value.isEmpty(), qPrintable(key));
                    QVERIFY2(!value.startsWith(QLatin1Char('"')) &&
                                 !value.endsWith(QLatin1Char('"')),
                             qPrintable(key));
                    QVERIFY2(value == value.trimmed(), qPrintable(key));
                    QVERIFY2(!value.contains(QChar::ReplacementCharacter), qPrintable(key));
                }
            }
        }
    }

    // The texts send the user to this system's own tools, in both languages.
    void TextsNameLinuxNotAnotherSystem() {
        const QStringList foreign = {"Windows", "control pan", "Systemsteuerung"};
        for (int language : {LanguageEnglish, LanguageGerman})
            for (const Section* section : {&MessageTexts(language), &FormTexts(language)})
                for (const auto& [key, value] : *section)
                    for (const QString& word : foreign)
                        QVERIFY2(!value.contains(word), qPrintable(key + QLatin1Char('=') + value));
        SelectLanguage(LanguageEnglish);
        QVERIFY(Translate(QStringLiteral("TryColdStart")).endsWith("restart Bluetooth."));
        QVERIFY(Translate(QStringLiteral("DiscoveryCompleted")).contains("bluetoothctl"));
        QCOMPARE(FormValue(LanguageEnglish, "btnApplyTZI.Caption"),
                 QStringLiteral("Get from this computer"));
        QCOMPARE(FormValue(LanguageGerman, "btnApplyTZI.Caption"),
                 QStringLiteral("Von diesem Computer übernehmen"));
    }

    void ArgumentsFillThePlacesInOrder_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("english") << int(LanguageEnglish)
                                 << QStringLiteral("Connected to ZELPHORIN2x on COM4");
        QTest::newRow("german") << int(LanguageGerman)
                                << QStringLiteral("Verbunden mit ZELPHORIN2x an COM4");
    }
    void ArgumentsFillThePlacesInOrder() {
        QFETCH(int, language);
        QFETCH(QString, expected);
        SelectLanguage(language);
        QCOMPARE(TranslateFormat(QStringLiteral("ConnectedToOn"), {"ZELPHORIN2x", "COM4"}),
                 expected);
    }

    void MissingPlacesLeaveTheTextUnformatted() {
        QCOMPARE(Translate(QStringLiteral("PHORINConfig")), QStringLiteral("%s configuration"));
        QCOMPARE(TranslateFormat(QStringLiteral("ConnectedToOn"), {"ZELPHORIN2x"}),
                 QStringLiteral("Connected to %s on %s"));
        SelectLanguage(LanguageGerman);
        QCOMPARE(Translate(QStringLiteral("PHORINConfig")), QStringLiteral("%s - Konfiguration"));
    }

    void MissingKeyGivesTheKey() {
        QCOMPARE(Translate(QStringLiteral("NoSuchKey")), QStringLiteral("NoSuchKey"));
        SelectLanguage(LanguageGerman);
        QCOMPARE(Translate(QStringLiteral("NoSuchKey")), QStringLiteral("NoSuchKey"));
    }

    void LineEscapesBecomeLineBreaks_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("english") << int(LanguageEnglish)
                                 << QStringLiteral(
                                        "Updating the firmware will happen at your own risk.")
                                 << QStringLiteral("Proceed?");
        QTest::newRow("german")
            << int(LanguageGerman)
            << QStringLiteral("Das Aktualisieren der Firmware geschieht auf eigene Gefahr.")
            << QStringLiteral("Vorgang fortsetzen?");
    }
    void LineEscapesBecomeLineBreaks() {
        QFETCH(int, language);
        QFETCH(QString, first);
        QFETCH(QString, last);
        SelectLanguage(language);
        const QString text = Translate(QStringLiteral("FlashDlgText"));
        QVERIFY(!text.contains(QLatin1String("\\n")));
        QCOMPARE(text.count(QLatin1Char('\n')), text.count(QLatin1String("\r\n")));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        // Seven escapes: three lines, a blank one, two lines, a blank one, the question.
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines.first(), first);
        QCOMPARE(lines.last(), last);
        QVERIFY(lines[3].isEmpty());
        QVERIFY(lines[6].isEmpty());
    }

    void ColorCaptionNamesEveryCode() {
        QCOMPARE(ColorCaption(0), QStringLiteral("Unnamed"));
        QCOMPARE(ColorCaption(15), QStringLiteral("Deep red"));
        QCOMPARE(ColorCaption(16), QStringLiteral("Unnamed"));
        QCOMPARE(ColorCaption(255), QStringLiteral("Unnamed"));
        QCOMPARE(ColorCaption(-1), QStringLiteral("Unnamed"));

        SelectLanguage(LanguageGerman);
        const QStringList german = {"Unbenannt", "Reinweiß", "Rot",       "Grün",
                                    "Blau",      "UV",       "Mondlicht", "Kaltweiß",
                                    "Warmweiß",  "Gelb",     "Pink",      "Royalblau",
                                    "Türkis",    "Violett",  "Orange",    "Tiefrot"};
        for (int code = 0; code < german.size(); ++code)
            QCOMPARE(ColorCaption(code), german[code]);
        QCOMPARE(ColorCaption(16), german[0]);
    }

    void NotGivenLanguageFollowsTheLocale() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Austria));
        QCOMPARE(SelectLanguage(LanguageNotGiven), int(LanguageGerman));
        QCOMPARE(CurrentLanguage(), int(LanguageGerman));
        QCOMPARE(Translate(QStringLiteral("Done")), QStringLiteral("Fertig."));

        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QCOMPARE(SelectLanguage(LanguageNotGiven), int(LanguageEnglish));
        QCOMPARE(Translate(QStringLiteral("Done")), QStringLiteral("Done."));

        // A switch overrides the locale, and unknown codes count as English.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(SelectLanguage(LanguageEnglish), int(LanguageEnglish));
        QCOMPARE(SelectLanguage(7), int(LanguageEnglish));
        QCOMPARE(Translate(QStringLiteral("Done")), QStringLiteral("Done."));
    }
};

QTEST_GUILESS_MAIN(TranslateTest)
#include "translate_test.moc"
