#include "player/EOleException.h"

#include <QHash>

EOleException::EOleException(std::uint32_t code, const QString &description, const QString &source,
                             const QString &helpFile, int helpContext)
    : std::runtime_error(messageFor(code, description, systemText(code)).toStdString()), m_code(code),
      m_source(source), m_helpFile(helpFile), m_helpContext(helpContext) {}

QString EOleException::trimTrailing(const QString &text) {
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) <= QChar(' ') || text.at(end - 1) == QChar('.')))
        --end;
    return text.left(end);
}

QString EOleException::messageFor(std::uint32_t code, const QString &description, const QString &systemText) {
    QString message = trimTrailing(description);
    if (message.isEmpty())
        message = trimTrailing(systemText);
    if (message.isEmpty())
        message = QStringLiteral("Erreur OLE %1")
                      .arg(QString::number(code, 16).rightJustified(8, QChar('0')).toUpper());
    return message;
}

QString EOleException::systemText(std::uint32_t code) {
    // The operating system's own wording, with its final full stop, as the rule above trims it.
    static const QHash<std::uint32_t, QString> texts = {
        {kInvalidArgument, QStringLiteral("Paramètre incorrect.\r\n")},
        {kFail, QStringLiteral("Erreur non spécifiée\r\n")},
        {kNotImplemented, QStringLiteral("Non implémenté\r\n")},
        {kNoInterface, QStringLiteral("Interface non supportée\r\n")},
        {kClassNotRegistered, QStringLiteral("Classe non enregistrée\r\n")},
        {0x8007000Eu, QStringLiteral("Mémoire insuffisante pour cette opération.\r\n")},
        {0x8000FFFFu, QStringLiteral("Défaillance irrémédiable\r\n")},
    };
    return texts.value(code);
}
