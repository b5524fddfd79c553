#include "source/sample_grabber.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(SampleGrabber, ComparesOnlyWhatTheAcceptedTypeNames) {
    SampleGrabber anything;
    MediaType type;
    EXPECT_EQ(anything.getConnectionType(type), kNotConnected);
    EXPECT_EQ(anything.connect(MediaType::pcmAudio(8000, 1, 8)), kOk);
    EXPECT_EQ(anything.getConnectionType(type), kOk);
    EXPECT_EQ(type.wave.samplesPerSec, 8000U);

    SampleGrabber video;
    video.acceptOnlyType(MediaType::rgb24Video());
    MediaType sized = MediaType::rgb24Video();
    sized.formatType = FormatType::VideoInfo;
    sized.width = 640;
    EXPECT_EQ(video.connect(sized), kOk);
    EXPECT_EQ(video.connect(MediaType::pcmAudio(44100, 2, 16)), kTypeNotAccepted);

    SampleGrabber audio;
    audio.acceptOnlyType(MediaType::pcmAudio(44100, 2, 16));
    MediaType otherAlignment = MediaType::pcmAudio(44100, 2, 16);
    otherAlignment.wave.blockAlign = 7;
    otherAlignment.wave.avgBytesPerSec = 1;
    EXPECT_EQ(audio.connect(otherAlignment), kOk);
    EXPECT_EQ(audio.connect(MediaType::pcmAudio(22050, 2, 16)), kTypeNotAccepted);
    EXPECT_EQ(audio.connect(MediaType::pcmAudio(44100, 1, 16)), kTypeNotAccepted);
    EXPECT_EQ(audio.connect(MediaType::pcmAudio(44100, 2, 32)), kTypeNotAccepted);
    MediaType noFormat = MediaType::pcmAudio(44100, 2, 16);
    noFormat.formatType = FormatType::None;
    EXPECT_EQ(audio.connect(noFormat), kTypeNotAccepted);
    MediaType floating = MediaType::pcmAudio(44100, 2, 16);
    floating.wave.formatTag = kWaveFormatFloat;
    EXPECT_EQ(audio.connect(floating), kTypeNotAccepted);
    // No channels at all ("disabled"): nothing a decoder offers matches.
    SampleGrabber disabled;
    disabled.acceptOnlyType(MediaType::pcmAudio(22050, 0, 16));
    EXPECT_EQ(disabled.connect(MediaType::pcmAudio(22050, 2, 16)), kTypeNotAccepted);
}

}  // namespace
}  // namespace morvane
