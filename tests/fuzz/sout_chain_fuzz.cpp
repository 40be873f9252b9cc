// The recording chain: any text is refused with a reason or read; any folder name written with
// quotedValue() is read back exactly.
#include "player/SoutChain.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        (void)SoutChain::parse(text);
    } catch (const SoutChainError &) {
    }

    const QString path = text + QStringLiteral("/201-20261207-101500.mpg");
    const QString chain =
        QStringLiteral("#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,url=") +
        SoutChain::quotedValue(path) + QStringLiteral(",access=file}");
    try {
        if (SoutChain::parse(chain).url != path)
            std::abort();
    } catch (const SoutChainError &) {
        std::abort();
    }
    return 0;
}
