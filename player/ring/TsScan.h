#pragma once

#include <QByteArray>

#include <array>

// Reads a channel's MPEG-TS packet by packet: its programme tables, which streams carry the
// pictures and the first sound, and which packets start a picture, a key frame or a sound frame.
// Key frames are found on the video stream: a packet that starts a PES and is flagged random
// access, or whose first coded unit is an IDR or parameter set (H.264, HEVC) or a sequence header
// (MPEG-1/2).
class TsScan {
public:
    static constexpr int kPacketSize = 188;
    static constexpr uchar kSyncByte = 0x47;

    // What one packet is to a reader looking for places to start from.
    enum class Unit {
        Other,
        // A PAT or a PMT, read.
        Tables,
        // A PMT naming other picture or sound streams than before: what came before may not
        // decode against it.
        NewLayout,
        Picture,
        KeyFrame,
        // The start of a PES of the first sound stream.
        Sound,
    };

    struct Header {
        int pid = -1;
        bool unitStart = false;
        bool randomAccess = false;
        int payloadOffset = kPacketSize;
    };

    static bool inSync(const uchar *packet) { return packet[0] == kSyncByte; }
    static Header header(const uchar *packet);

    // The packet must be in sync.
    Unit scan(const uchar *packet);
    void reset();

    bool knowsProgramme() const { return m_hasPmt; }
    int videoPid() const { return m_videoPid; }
    int videoType() const { return m_videoType; }
    int soundPid() const { return m_soundPid; }
    int soundType() const { return m_soundType; }
    // The packets of the PAT and the PMT last read, empty before each is known.
    QByteArray pat() const;
    QByteArray pmt() const;

private:
    using Packet = std::array<char, kPacketSize>;

    void readPat(const uchar *packet, const Header &header);
    bool readPmt(const uchar *packet, const Header &header);
    bool startsKeyFrame(const uchar *packet, const Header &header) const;

    Packet m_pat{};
    Packet m_pmt{};
    bool m_hasPat = false;
    bool m_hasPmt = false;
    int m_pmtPid = -1;
    int m_videoPid = -1;
    int m_videoType = 0;
    int m_soundPid = -1;
    int m_soundType = 0;
};
