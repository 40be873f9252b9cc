#include "QtPrinting.h"

#include "player/engine/PipelineError.h"
#include "player/engine/PlaybackSupervisor.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

// What the user is told of a pipeline's error, from GStreamer's error and the RTSP source's text.
namespace {

QString toldFor(GQuark domain, int code, const char *debug, bool picturesSeen = false) {
    const PipelineError::Reading reading = PipelineError::read(
        {domain, code, QStringLiteral("message"), QString::fromUtf8(debug)}, picturesSeen);
    if (!reading.failure)
        return QStringLiteral("(look the host up)");
    return PlaybackSupervisor::failureText(*reading.failure, reading.detail);
}

TEST(PipelineError, ASessionRefusedForWantOfRoomIsBusyAndOtherRefusalsAreNot) {
    gst_init(nullptr, nullptr);
    const GQuark resource = GST_RESOURCE_ERROR;
    // DESCRIBE and SETUP refusals are worded apart by the RTSP source.
    EXPECT_EQ(toldFor(resource, GST_RESOURCE_ERROR_WRITE, "Error (503): Service Unavailable"),
              "Décodeur occupé");
    EXPECT_EQ(toldFor(resource, GST_RESOURCE_ERROR_READ, "Got error response: 453 (Not Enough Bandwidth)."),
              "Décodeur occupé");
    EXPECT_EQ(toldFor(resource, GST_RESOURCE_ERROR_WRITE, "Error (454): Session Not Found"),
              "Décodeur occupé");
    EXPECT_EQ(toldFor(resource, GST_RESOURCE_ERROR_READ, "Got error response: 500 (Internal Server Error)."),
              "(look the host up)");
    EXPECT_EQ(toldFor(resource, GST_RESOURCE_ERROR_OPEN_READ_WRITE, "Could not connect to 127.0.0.1:503"),
              "(look the host up)");
    EXPECT_EQ(toldFor(resource, GST_RESOURCE_ERROR_NOT_FOUND, "Not Found"),
              "Chaîne introuvable sur le décodeur");
    // Once pictures were shown, any error interrupts the stream, a refusal included.
    EXPECT_EQ(
        toldFor(resource, GST_RESOURCE_ERROR_READ, "Got error response: 503 (Service Unavailable).", true),
        "Flux interrompu");
}

TEST(PipelineError, AStreamThatCannotBeDecodedSaysWhetherTheFormatIsUnsupported) {
    gst_init(nullptr, nullptr);
    EXPECT_EQ(toldFor(GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN, nullptr),
              "Lecture impossible : format non pris en charge");
    EXPECT_EQ(toldFor(GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND, nullptr),
              "Lecture impossible : format non pris en charge");
    EXPECT_EQ(toldFor(GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, nullptr),
              "Lecture impossible : flux illisible");
}

} // namespace
