#include "player/ring/KeyFrameDecoder.h"

#include "player/warm/WarmSource.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Niceness of the decoding thread: on a busy core the watched channel's and a recording's threads
// get three times its share. Lower still, a loaded machine decodes a key frame after the next one
// has come, and a held key finds most channels without a picture.
constexpr int kNiceness = 5;

} // namespace

KeyFrameDecoder::KeyFrameDecoder() {
    m_queue.post([] { setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), kNiceness); });
}

KeyFrameDecoder::~KeyFrameDecoder() {
    // The chain belongs to the queue's thread: it goes there, before the thread ends.
    m_queue.post([this] { m_chain.reset(); });
    m_queue.drain();
}

void KeyFrameDecoder::setBound(QSize bound) {
    m_width = bound.width();
    m_height = bound.height();
}

void KeyFrameDecoder::request(const std::weak_ptr<WarmSource> &weak) {
    const std::shared_ptr<WarmSource> source = weak.lock();
    if (!source || !source->claimPictureRequest())
        return;
    m_queue.post([this, weak] {
        if (const std::shared_ptr<WarmSource> source = weak.lock())
            source->setKeyFramePicture(decode(source->heldKeyFrame()));
    });
}

PictureSink::Picture KeyFrameDecoder::decode(const TsRing::KeyFrame &key) {
    if (key.elementary.isEmpty())
        return {};
    const QSize bound(m_width, m_height);
    if (!m_chain || m_chain->streamType() != key.streamType || m_chain->bound() != bound)
        m_chain = std::make_unique<KeyFrameChain>(key.streamType, bound);
    return m_chain->decode(key.elementary);
}
