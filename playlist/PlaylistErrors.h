#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

// Failures of reading the playlist and of finding a row's address. The French text is what the
// error box shows, so it lives in what(), in UTF-8.

class EFOpenError : public std::runtime_error {
public:
    // fileName exactly as it was opened (no folder added).
    explicit EFOpenError(const QString &fileName)
        : std::runtime_error(("Impossible d'ouvrir le fichier " + fileName).toUtf8().toStdString()),
          m_fileName(fileName) {}

    const QString &fileName() const { return m_fileName; }

private:
    QString m_fileName;
};

class EListError : public std::runtime_error {
public:
    explicit EListError(qsizetype index)
        : std::runtime_error("Indice de liste hors limites (" + QByteArray::number(index).toStdString() +
                             ")"),
          m_index(index) {}

    qsizetype index() const { return m_index; }

private:
    qsizetype m_index;
};
