#include "player/TrackNames.h"

#include <QHash>

namespace {

// Two-letter codes first; the three-letter forms a stream may use when it has no two-letter one
// or when nothing converted it (both ISO 639-2 forms where they differ).
const QHash<QString, QString> &names() {
    static const QHash<QString, QString> table = [] {
        const struct {
            const char *codes;
            const char *name;
        } rows[] = {
            {"fr fre fra", "Français"},   {"en eng", "Anglais"},     {"de ger deu", "Allemand"},
            {"es spa", "Espagnol"},       {"it ita", "Italien"},     {"nl dut nld", "Néerlandais"},
            {"pt por", "Portugais"},      {"ar ara", "Arabe"},       {"ru rus", "Russe"},
            {"zh chi zho", "Chinois"},    {"ja jpn", "Japonais"},    {"ko kor", "Coréen"},
            {"pl pol", "Polonais"},       {"tr tur", "Turc"},        {"el gre ell", "Grec"},
            {"sv swe", "Suédois"},        {"da dan", "Danois"},      {"no nor nb nob", "Norvégien"},
            {"fi fin", "Finnois"},        {"cs cze ces", "Tchèque"}, {"hu hun", "Hongrois"},
            {"ro rum ron", "Roumain"},    {"uk ukr", "Ukrainien"},   {"he heb", "Hébreu"},
            {"hi hin", "Hindi"},          {"vi vie", "Vietnamien"},  {"fa per fas", "Persan"},
            {"ca cat", "Catalan"},        {"eu baq eus", "Basque"},  {"br bre", "Breton"},
            {"co cos", "Corse"},          {"oc oci", "Occitan"},     {"lb ltz", "Luxembourgeois"},
            {"qaa", "Version originale"}, {"mul", "Multilingue"},
        };
        QHash<QString, QString> built;
        for (const auto &row : rows)
            for (const QString &code : QString::fromLatin1(row.codes).split(u' '))
                built.insert(code, QString::fromUtf8(row.name));
        return built;
    }();
    return table;
}

QString nameOf(const StreamTrack &track, int place) {
    if (TrackNames::isAudioDescription(track))
        return QStringLiteral("Audiodescription");
    QString name = TrackNames::languageName(track.language);
    if (name.isEmpty())
        name = QStringLiteral("Piste %1").arg(place);
    if (track.kind == StreamTrack::Kind::Subtitles && track.hardOfHearing)
        name += QStringLiteral(" (malentendants)");
    return name;
}

} // namespace

namespace TrackNames {

QString languageName(const QString &code) {
    return names().value(code.trimmed().toLower());
}

bool isAudioDescription(const StreamTrack &track) {
    return track.kind == StreamTrack::Kind::Sound &&
           (track.audioDescription || track.language.compare(QLatin1String("qad"), Qt::CaseInsensitive) == 0);
}

QStringList labels(const QList<StreamTrack> &tracks) {
    QStringList result;
    for (int i = 0; i < tracks.size(); ++i)
        result << nameOf(tracks[i], i + 1);
    for (int i = 0; i < result.size(); ++i) {
        if (result.count(result[i]) < 2 || result[i].startsWith(QLatin1String("Piste ")))
            continue;
        const QString alike = result[i];
        for (int j = i; j < result.size(); ++j)
            if (result[j] == alike)
                result[j] = QStringLiteral("%1 (piste %2)").arg(alike).arg(j + 1);
    }
    return result;
}

} // namespace TrackNames
