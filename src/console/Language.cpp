#include "console/Language.h"

#include <QCoreApplication>
#include <QTranslator>

#include <memory>

namespace {

bool isJapanese(QByteArrayView locale) { return locale.startsWith("ja"); }
bool isEnglish(QByteArrayView locale) { return locale.startsWith("en"); }

std::unique_ptr<QTranslator> &installed()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

QString &inUse()
{
    static QString language = QStringLiteral("ja");
    return language;
}

} // namespace

QString ConsoleLanguage(const QString &configured)
{
    return ConsoleLanguage(configured, [](const char *name) { return qgetenv(name); });
}

QString ConsoleLanguage(const QString &configured, const std::function<QByteArray(const char *)> &environment)
{
    const QString chosen = configured.trimmed().toLower();
    if (chosen == u"ja" || chosen == u"en")
        return chosen;

    QByteArray locale;
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment(name);
        if (!locale.isEmpty())
            break;
    }
    if (!locale.isEmpty() && locale != "C" && !locale.startsWith("C.") && locale != "POSIX")
        for (const QByteArray &entry : environment("LANGUAGE").split(':'))
            if (isJapanese(entry) || isEnglish(entry))
                return isJapanese(entry) ? QStringLiteral("ja") : QStringLiteral("en");
    return isJapanese(locale) ? QStringLiteral("ja") : QStringLiteral("en");
}

bool UseConsoleLanguage(const QString &language)
{
    if (auto &old = installed()) {
        QCoreApplication::removeTranslator(old.get());
        old.reset();
    }
    inUse() = QStringLiteral("ja");
    if (language == u"ja")
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/i18n/corvane_") + language + QStringLiteral(".qm")))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed() = std::move(translator);
    inUse() = language;
    return true;
}

QString ConsoleLanguageInUse()
{
    return inUse();
}
