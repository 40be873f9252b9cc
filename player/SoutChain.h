#pragma once

#include "player/SoutChainError.h"

#include <QString>

// A stream-output chain of the one shape the recorder carries out:
//   #transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,url=/path/file.mpg,access=file}
// "std" may stand for "standard" and "dst" for "url"; a leading "sout=" or ":sout=" is accepted.
// A value ends at the next ',' or '}'; a value that must hold either (a path with a comma) is
// written between double or single quotes, which are not part of the value; the quote character
// itself is written twice inside them.
struct SoutChain {
    QString videoCodec;       // "mp2v"
    int videoBitrateKbps = 0; // vb
    QString audioCodec;       // "mpga"
    int audioBitrateKbps = 0; // ab
    QString mux;              // "ps" or "ts"
    QString url;              // the file to write
    QString access;           // "file"

    // Throws SoutChainError on a malformed chain or one asking for anything else.
    static SoutChain parse(const QString &chainText);
    // A value as it must be written in a chain so that parse() gives it back exactly.
    static QString quotedValue(const QString &value);

    bool operator==(const SoutChain &) const = default;
};
