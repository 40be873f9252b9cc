#pragma once

// The real player and channel-list windows, created in this test program as the main block
// creates them, in a fresh working folder, against the simulated box serving the start-up stream.

#include "app/Constants.h"
#include "app/FormWiring.h"
#include "channels/ChannelLineup.h"
#include "forms/ChannelListBox.h"
#include "forms/TImage.h"
#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "player/TVLCPlugin.h"
#include "programmes/ProgrammeGuide.h"
#include "settopbox/PlaylistText.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>

class PlayerWindowFixture : public ::testing::Test {
protected:
    // Rows of the playlist: these channels, in this order, all served by the box.
    virtual QList<int> playlistChannels() const { return {201, 202, 203}; }
    // Lines after the channels' (rows without an address, say).
    virtual QByteArray playlistTail() const { return QByteArray(); }
    // Channels the box serves: its usual ones unless a test needs more (the recording fallback).
    virtual QList<int> boxChannels() const { return SetTopBox::Options().channels; }
    // Channels sending another profile than the box's usual one.
    virtual QMap<int, QString> boxProfiles() const { return {}; }
    // Above 0: the box serves a guide of programmes this long, which the playlist names.
    virtual int guideProgrammeSeconds() const { return 0; }
    // The playlist's header line (with its break); the box's guide when it serves one.
    virtual QByteArray playlistHeader() const {
        if (m_box.guidePort() < 0)
            return QByteArray();
        return "#EXTM3U url-tvg=\"" +
               QByteArray::fromStdString(halcyon::settopbox::guideAddress("127.0.0.1", m_box.guidePort())) +
               "\"\n";
    }

    void SetUp() override {
        SetTopBox::Options options;
        options.port = SetTopBox::startupPort();
        options.channels = boxChannels();
        options.profiles = boxProfiles();
        options.guideProgrammeSeconds = guideProgrammeSeconds();
        ASSERT_TRUE(m_box.start(options)) << qPrintable(m_box.error());
        ASSERT_TRUE(m_dir.isValid());
        QByteArray playlist = playlistHeader();
        for (int channel : playlistChannels()) {
            const QByteArray id =
                "tvg-id=\"" + QByteArray::fromStdString(halcyon::settopbox::guideChannelId(channel)) + "\"";
            playlist += "#EXTINF:-1 " + id + "," + QByteArray::number(channel) + " - Chaine " +
                        QByteArray::number(channel) + "\n" + m_box.address(channel) + "\n";
        }
        playlist += playlistTail();
        QFile file(m_dir.filePath(QStringLiteral("playlist.m3u")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(playlist);
        file.close();
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());

        form1 = std::make_unique<TForm1>(halcyon::StartupStream(), halcyon::RecordFallbackStream(), lineup);
        form1->FormCreate();
        form2 = std::make_unique<TForm2>(*form1->vlc, lineup);
        FormWiring::wireList(*form1, *form2);
        form2->FormCreate();
        form1->show();
        ASSERT_TRUE(
            waitUntil([&] { return form1->windowHandle() && form1->windowHandle()->isExposed(); }, 10000));
    }

    void TearDown() override {
        form2.reset();
        form1.reset();
        QDir::setCurrent(m_oldDir);
    }

    // Average colour of the middle of the picture, as the player painted it.
    QRgb pictureColour() const {
        const QImage picture = grabWidget(form1->vlc);
        return averageColour(picture, QRect(picture.width() / 2 + 60, picture.height() / 2 + 40, 60, 40));
    }

    bool waitForChannel(int channel, int timeoutMs = 15000) const {
        return waitUntil([&] { return looksLikeChannel(pictureColour(), channel); }, timeoutMs, 50);
    }

    // Centre of a widget, on the screen.
    static QPoint screenCentre(const QWidget *widget) {
        return widget->mapToGlobal(QPoint(widget->width() / 2, widget->height() / 2));
    }

    SetTopBox m_box;
    QTemporaryDir m_dir;
    QString m_oldDir;
    // As the main block has them: the channels and their programmes outlive the windows.
    ProgrammeGuide guide;
    ChannelLineup lineup{&guide};
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
};
