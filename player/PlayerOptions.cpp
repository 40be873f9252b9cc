#include "player/PlayerOptions.h"

namespace {

enum class Kind { Flag, Number, Chain };

struct Known {
    const char *name;
    Kind kind;
    int maximum;
};

constexpr Known kKnown[] = {
    {"overlay", Kind::Flag, 0},
    {"audio", Kind::Flag, 0},
    {"video", Kind::Flag, 0},
    {"rtsp-tcp", Kind::Flag, 0},
    {"network-caching", Kind::Number, 60000},
    {"ttl", Kind::Number, 255},
    {"sout", Kind::Chain, 0},
};

const Known *find(const QString &name) {
    for (const Known &known : kKnown) {
        if (name == QLatin1String(known.name))
            return &known;
    }
    return nullptr;
}

QString quoted(const QString &text) {
    return QStringLiteral("« %1 »").arg(text);
}

[[noreturn]] void malformed(const QString &option, const QString &why) {
    throw PlayerOptionError(QStringLiteral("Option %1 mal formée : %2").arg(quoted(option), why));
}

bool flagValue(const QString &option, const QString &value) {
    static const QStringList on = {"1", "true", "yes", "on"};
    static const QStringList off = {"0", "false", "no", "off"};
    if (on.contains(value, Qt::CaseInsensitive))
        return true;
    if (off.contains(value, Qt::CaseInsensitive))
        return false;
    malformed(option, QStringLiteral("%1 n'est pas une valeur booléenne").arg(quoted(value)));
}

int numberValue(const QString &option, const QString &value, int maximum) {
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < 0 || number > maximum)
        malformed(option,
                  QStringLiteral("%1 n'est pas un nombre entre 0 et %2").arg(quoted(value)).arg(maximum));
    return number;
}

} // namespace

PlayerOptions PlayerOptions::parse(const QStringList &options) {
    PlayerOptions parsed;
    for (const QString &option : options)
        parsed.apply(option);
    return parsed;
}

void PlayerOptions::apply(const QString &option) {
    const QString text = option.startsWith(QLatin1Char(':')) ? option.mid(1) : option;
    if (text.isEmpty())
        throw PlayerOptionError(QStringLiteral("Option vide"));
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? text : text.left(equals);
    const bool hasValue = equals >= 0;
    const QString value = hasValue ? text.mid(equals + 1) : QString();
    if (name.isEmpty())
        malformed(option, QStringLiteral("nom absent"));

    bool negated = false;
    const Known *known = find(name);
    if (!known) {
        for (const QString &prefix : {QStringLiteral("no-"), QStringLiteral("no")}) {
            if (name.startsWith(prefix) && (known = find(name.mid(prefix.size())))) {
                negated = true;
                break;
            }
        }
    }
    if (!known)
        return;

    if (negated && (known->kind != Kind::Flag || hasValue))
        malformed(option, QStringLiteral("elle ne peut pas être désactivée ainsi"));
    if (known->kind != Kind::Flag && !hasValue)
        malformed(option, QStringLiteral("valeur attendue"));

    const QLatin1String key(known->name);
    if (known->kind == Kind::Flag) {
        const bool on = negated ? false : (hasValue ? flagValue(option, value) : true);
        if (key == QLatin1String("overlay"))
            overlay = on;
        else if (key == QLatin1String("audio"))
            audio = on;
        else if (key == QLatin1String("video"))
            video = on;
        else
            rtspTcp = on;
    } else if (known->kind == Kind::Number) {
        const int number = numberValue(option, value, known->maximum);
        if (key == QLatin1String("ttl"))
            ttl = number;
        else
            networkCachingMs = number;
    } else {
        try {
            sout = SoutChain::parse(value);
        } catch (const SoutChainError &e) {
            throw PlayerOptionError(QString::fromUtf8(e.what()));
        }
    }
}
