#include "settings/UiLanguage.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

class tst_TranslationCatalogue : public QObject {
    Q_OBJECT
private slots:
    void everySourceTextHasAFinishedEnglishTranslation();
    void translationsKeepPlaceholdersAndLineBreaks();
    void compiledCatalogueMatchesTheCommittedOne();
};

namespace {
const QString kCommittedTs = QStringLiteral(LIDAR_SOURCE_DIR "/resources/translations/lidar-waveform_en.ts");

struct Message {
    QString context;
    QString source;
    QString disambiguation; // the source's <comment>: one source, two meanings
    QString translation;
    bool finished = false;
};

// Text of the current element, with Qt Linguist's <byte value="xd"/> for
// characters that XML cannot hold.
QString readText(QXmlStreamReader &xml)
{
    QString text;
    const QString name = xml.name().toString();
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isCharacters())
            text += xml.text();
        else if (xml.isStartElement() && xml.name() == QLatin1String("byte"))
            text += QChar(xml.attributes().value(QLatin1String("value")).toString().mid(1).toUShort(nullptr, 16));
        else if (xml.isEndElement() && xml.name() == name)
            break;
    }
    return text;
}

QVector<Message> readTs(const QString &path)
{
    QVector<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (!xml.readNext() || !xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            messages.append({context, {}, {}, {}, false});
        } else if (xml.name() == QLatin1String("source") && !messages.isEmpty()) {
            messages.last().source = readText(xml);
        } else if (xml.name() == QLatin1String("comment") && !messages.isEmpty()) {
            messages.last().disambiguation = readText(xml);
        } else if (xml.name() == QLatin1String("translation") && !messages.isEmpty()) {
            const bool marked = !xml.attributes().value(QLatin1String("type")).isEmpty();
            messages.last().translation = readText(xml);
            messages.last().finished = !marked && !messages.last().translation.isEmpty();
        }
    }
    return messages;
}

QStringList placeholders(const QString &text)
{
    static const QRegularExpression kArg(QStringLiteral("%\\d+"));
    QStringList found;
    for (auto it = kArg.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}
} // namespace

// New tr() texts anywhere in the sources show up here until the catalogue
// has their English.
void tst_TranslationCatalogue::everySourceTextHasAFinishedEnglishTranslation()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ts = dir.filePath(QStringLiteral("check_en.ts"));
    QVERIFY(QFile::copy(kCommittedTs, ts));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(LIDAR_LUPDATE),
                  QString::fromUtf8(LIDAR_LUPDATE_ARGUMENTS).split(QLatin1Char('|')) << QStringLiteral("-ts") << ts);
    QVERIFY(lupdate.waitForFinished(120000));
    QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());

    const QVector<Message> messages = readTs(ts);
    QVERIFY(messages.size() > 50);
    QStringList missing;
    for (const Message &m : messages)
        if (!m.finished)
            missing << m.context + QStringLiteral(": ") + m.source;
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("No English for:\n") + missing.join(QLatin1Char('\n'))
                        + QStringLiteral("\nRefresh with: cmake --build build --target lidar_update_translations, "
                                         "then translate in resources/translations/lidar-waveform_en.ts")));
}

void tst_TranslationCatalogue::translationsKeepPlaceholdersAndLineBreaks()
{
    const QVector<Message> messages = readTs(kCommittedTs);
    QVERIFY(!messages.isEmpty());
    for (const Message &m : messages) {
        const QString what = m.context + QStringLiteral(": ") + m.source + QStringLiteral(" -> ") + m.translation;
        QVERIFY2(placeholders(m.source) == placeholders(m.translation), qPrintable(what));
        QVERIFY2(m.source.count(QLatin1Char('\n')) == m.translation.count(QLatin1Char('\n')), qPrintable(what));
        QVERIFY2(m.source.count(QLatin1Char('\r')) == m.translation.count(QLatin1Char('\r')), qPrintable(what));
    }
}

// The program carries what lrelease made of the committed file, text for text.
void tst_TranslationCatalogue::compiledCatalogueMatchesTheCommittedOne()
{
    QVERIFY(UiLanguage::install(*QCoreApplication::instance(), UiLanguage::kEnglish));
    const QVector<Message> messages = readTs(kCommittedTs);
    for (const Message &m : messages)
        QCOMPARE(QCoreApplication::translate(m.context.toUtf8().constData(), m.source.toUtf8().constData(),
                                             m.disambiguation.isEmpty() ? nullptr
                                                                        : m.disambiguation.toUtf8().constData()),
                 m.translation);
    QCOMPARE(QCoreApplication::translate("MainWindow", "开始"), QStringLiteral("Start"));
}

QTEST_GUILESS_MAIN(tst_TranslationCatalogue)
#include "tst_translation_catalogue.moc"
