#include "player/SoutChain.h"

#include <QList>
#include <QPair>

namespace {

using Options = QList<QPair<QString, QString>>;

struct Module {
    QString name;
    Options options;
};

[[noreturn]] void fail(const QString &message) {
    throw SoutChainError(message.toStdString());
}

// Reads "#name{key=value,...}:name{...}" into its modules; knows nothing of what they mean.
class ChainReader {
public:
    explicit ChainReader(const QString &text) : m_text(text) {}

    QList<Module> readModules() {
        QList<Module> modules;
        expect(u'#');
        modules.append(readModule());
        while (!atEnd()) {
            expect(u':');
            modules.append(readModule());
        }
        return modules;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text.at(m_pos); }

    [[noreturn]] void expected(const QString &what) const {
        fail(QStringLiteral("Chaîne d'enregistrement mal formée : %1 attendu en position %2")
                 .arg(what)
                 .arg(m_pos + 1));
    }

    void expect(QChar c) {
        if (peek() != c)
            expected(QStringLiteral("« %1 »").arg(c));
        ++m_pos;
    }

    QString readName() {
        const qsizetype start = m_pos;
        while (!atEnd() && (peek().isLetterOrNumber() || peek() == u'_' || peek() == u'-'))
            ++m_pos;
        if (m_pos == start)
            expected(QStringLiteral("un nom"));
        return m_text.mid(start, m_pos - start);
    }

    Module readModule() {
        Module module{readName(), {}};
        if (peek() != u'{')
            return module;
        ++m_pos;
        if (peek() == u'}') {
            ++m_pos;
            return module;
        }
        for (;;) {
            const QString key = readName();
            expect(u'=');
            module.options.append({key, readValue()});
            if (peek() == u'}') {
                ++m_pos;
                return module;
            }
            expect(u',');
        }
    }

    QString readValue() {
        const QChar quote = peek();
        if (quote == u'"' || quote == u'\'') {
            // Inside quotes the quote itself is written twice; everything else stands for itself.
            const qsizetype open = m_pos;
            QString value;
            for (++m_pos;; ++m_pos) {
                if (atEnd())
                    fail(QStringLiteral(
                             "Chaîne d'enregistrement mal formée : guillemet non fermé en position %1")
                             .arg(open + 1));
                if (peek() != quote) {
                    value += peek();
                    continue;
                }
                if (m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == quote) {
                    value += quote;
                    ++m_pos;
                    continue;
                }
                ++m_pos;
                return value;
            }
        }
        const qsizetype start = m_pos;
        while (!atEnd() && peek() != u',' && peek() != u'}')
            ++m_pos;
        if (atEnd())
            expected(QStringLiteral("« } »"));
        return m_text.mid(start, m_pos - start);
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

// The options of one module, each taken at most once; whatever is left over is refused.
class ModuleOptions {
public:
    explicit ModuleOptions(const Module &module) : m_module(module.name) {
        for (const auto &[key, value] : module.options) {
            const QString name = key == u"dst" ? QStringLiteral("url") : key;
            if (indexOf(name) >= 0)
                fail(QStringLiteral("Option « %1 » donnée deux fois dans « %2 »").arg(key, m_module));
            m_values.append({name, value});
        }
    }

    QString take(const QString &key) {
        const qsizetype i = indexOf(key);
        if (i < 0)
            fail(QStringLiteral("Option « %1 » manquante dans « %2 »").arg(key, m_module));
        return m_values.takeAt(i).second;
    }

    QString take(const QString &key, const QString &fallback) {
        return indexOf(key) < 0 ? fallback : take(key);
    }

    void refuseOthers() const {
        if (!m_values.isEmpty())
            fail(QStringLiteral("Option « %1 » non prise en charge dans « %2 »")
                     .arg(m_values.first().first, m_module));
    }

private:
    qsizetype indexOf(const QString &key) const {
        for (qsizetype i = 0; i < m_values.size(); ++i) {
            if (m_values.at(i).first == key)
                return i;
        }
        return -1;
    }

    QString m_module;
    Options m_values;
};

int positiveNumber(const QString &text) {
    for (QChar c : text) {
        if (!c.isDigit() || c.unicode() > 127)
            return 0;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : 0;
}

int videoBitrate(const QString &text) {
    // From a trickle to the top of MPEG-2's high level.
    const int kbps = positiveNumber(text);
    if (kbps < 64 || kbps > 80000)
        fail(QStringLiteral("Débit vidéo « %1 » invalide (de 64 à 80000 kbit/s)").arg(text));
    return kbps;
}

int audioBitrate(const QString &text) {
    // MPEG-1 Layer II knows only these rates.
    static const QList<int> kAllowed{32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    const int kbps = positiveNumber(text);
    if (!kAllowed.contains(kbps))
        fail(QStringLiteral("Débit audio « %1 » invalide (32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, "
                            "256, 320 ou 384 kbit/s)")
                 .arg(text));
    return kbps;
}

QString stripPrefix(const QString &text) {
    for (const QString &prefix : {QStringLiteral(":sout="), QStringLiteral("sout=")}) {
        if (text.startsWith(prefix))
            return text.mid(prefix.size());
    }
    return text;
}

} // namespace

QString SoutChain::quotedValue(const QString &value) {
    // A ',' or '}' would end the value early, a quote at its start would be read as one, and
    // surrounding spaces would be trimmed with the chain's: such a value goes between double
    // quotes, any double quote in it written twice.
    const bool plain = !value.contains(u',') && !value.contains(u'}') && !value.startsWith(u'"') &&
                       !value.startsWith(u'\'') && !value.isEmpty() && !value.at(0).isSpace() &&
                       !value.back().isSpace();
    if (plain)
        return value;
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

SoutChain SoutChain::parse(const QString &chainText) {
    const QString text = stripPrefix(chainText.trimmed());
    if (text.isEmpty())
        fail(QStringLiteral("Chaîne d'enregistrement vide"));

    const QList<Module> modules = ChainReader(text).readModules();
    if (modules.size() != 2 || modules.at(0).name != u"transcode" ||
        (modules.at(1).name != u"standard" && modules.at(1).name != u"std"))
        fail(QStringLiteral("Chaîne d'enregistrement non prise en charge : seule "
                            "« #transcode{…}:standard{…} » est comprise"));

    SoutChain chain;
    ModuleOptions transcode(modules.at(0));
    chain.videoCodec = transcode.take(QStringLiteral("vcodec"));
    if (chain.videoCodec != u"mp2v")
        fail(QStringLiteral("Codec vidéo « %1 » non pris en charge (seul mp2v l'est)").arg(chain.videoCodec));
    chain.videoBitrateKbps = videoBitrate(transcode.take(QStringLiteral("vb")));
    chain.audioCodec = transcode.take(QStringLiteral("acodec"));
    if (chain.audioCodec != u"mpga")
        fail(QStringLiteral("Codec audio « %1 » non pris en charge (seul mpga l'est)").arg(chain.audioCodec));
    chain.audioBitrateKbps = audioBitrate(transcode.take(QStringLiteral("ab")));
    transcode.refuseOthers();

    ModuleOptions output(modules.at(1));
    chain.mux = output.take(QStringLiteral("mux"));
    if (chain.mux != u"ps" && chain.mux != u"ts")
        fail(QStringLiteral("Multiplexage « %1 » non pris en charge (ps ou ts)").arg(chain.mux));
    chain.url = output.take(QStringLiteral("url"));
    if (chain.url.isEmpty())
        fail(QStringLiteral("Aucun fichier de destination dans la chaîne d'enregistrement"));
    chain.access = output.take(QStringLiteral("access"), QStringLiteral("file"));
    if (chain.access != u"file")
        fail(QStringLiteral("Accès « %1 » non pris en charge (seul file l'est)").arg(chain.access));
    output.refuseOthers();
    return chain;
}
