// Settings of movies and tracks: value rules, types, user parameters,
// defaults, and settings that cannot change after creation.
#include <gtest/gtest.h>

#include <tuple>

#include "error.h"
#include "movie_builders.h"

using namespace testing_movie;

namespace {

constexpr int A = DM_MEDIUM_AUDIO, I = DM_MEDIUM_IMAGE, QT = 0;  // QT: an image track of a QuickTime movie

void setRate(DMparams *p, double r) { dmParamsSetFloat(p, DM_IMAGE_RATE, r); }
void setAudioRate(DMparams *p, double r) { dmParamsSetFloat(p, DM_AUDIO_RATE, r); }
void setScheme(DMparams *p, const char *s) { dmParamsSetString(p, DM_IMAGE_COMPRESSION, s); }
void setSchemeAndSize(DMparams *p, const char *s, int w, int h)
{
    setScheme(p, s);
    dmParamsSetInt(p, DM_IMAGE_WIDTH, w);
    dmParamsSetInt(p, DM_IMAGE_HEIGHT, h);
}

// One change to a track's settings, and whether the track is then taken or
// refused with its medium's error.
TEST(TrackSettingRules, AreCheckedWhenTheTrackIsAdded)
{
    const struct {
        const char *label;
        int medium;
        void (*change)(DMparams *);
        bool accepted;
    } cases[] = {
        {"rate 4999", A, [](DMparams *p) { setAudioRate(p, 4999.0); }, false},
        {"rate 50001", A, [](DMparams *p) { setAudioRate(p, 50001.0); }, false},
        {"rate 5000", A, [](DMparams *p) { setAudioRate(p, 5000.0); }, true},
        {"rate 50000", A, [](DMparams *p) { setAudioRate(p, 50000.0); }, true},
        {"width 12", A, [](DMparams *p) { dmParamsSetInt(p, DM_AUDIO_WIDTH, 12); }, false},
        {"width 8", A, [](DMparams *p) { dmParamsSetInt(p, DM_AUDIO_WIDTH, 8); }, true},
        {"3 channels", A, [](DMparams *p) { dmParamsSetInt(p, DM_AUDIO_CHANNELS, 3); }, false},
        {"format 403", A, [](DMparams *p) { dmParamsSetEnum(p, DM_AUDIO_FORMAT, 403); }, false},
        {"unsigned", A, [](DMparams *p) { dmParamsSetEnum(p, DM_AUDIO_FORMAT, AUDIO_FORMAT_UNSIGNED); }, true},
        {"compressed", A, [](DMparams *p) { dmParamsSetString(p, DM_AUDIO_COMPRESSION, "G.711 u-law"); }, false},
        {"volume 1.5", A, [](DMparams *p) { dmParamsSetFloat(p, MV_DEFAULT_VOL, 1.5); }, false},
        {"no rate", A, [](DMparams *p) { dmParamsRemove(p, DM_AUDIO_RATE); }, false},
        {"fps 0.5", I, [](DMparams *p) { setRate(p, 0.5); }, false},
        {"fps 101", I, [](DMparams *p) { setRate(p, 101.0); }, false},
        {"fps 100", I, [](DMparams *p) { setRate(p, 100.0); }, true},
        {"width 0", I, [](DMparams *p) { dmParamsSetInt(p, DM_IMAGE_WIDTH, 0); }, false},
        {"height -2", I, [](DMparams *p) { dmParamsSetInt(p, DM_IMAGE_HEIGHT, -2); }, false},
        {"packing 1002", I, [](DMparams *p) { dmParamsSetEnum(p, DM_IMAGE_PACKING, 1002); }, false},
        {"orientation 1102", I, [](DMparams *p) { dmParamsSetEnum(p, DM_IMAGE_ORIENTATION, 1102); }, false},
        {"interlaced", I, [](DMparams *p) { dmParamsSetEnum(p, DM_IMAGE_INTERLACING, 1); }, false},
        {"RTR", I, [](DMparams *p) { setScheme(p, "RTR"); }, false},
        {"Apple Video 322", I, [](DMparams *p) { setSchemeAndSize(p, "Apple Video", 322, 240); }, false},
        {"MVC2 3x100", I, [](DMparams *p) { setSchemeAndSize(p, "MVC2", 3, 100); }, false},
        {"depth 0", I, [](DMparams *p) { dmParamsSetInt(p, MV_IMAGE_CSIZE, 0); }, false},
        {"no packing", I, [](DMparams *p) { dmParamsRemove(p, DM_IMAGE_PACKING); }, false},
        {"grey", I, [](DMparams *p) { dmParamsSetEnum(p, DM_IMAGE_PACKING, DM_PACKING_GRAY); }, true},
        {"5-5-5", I, [](DMparams *p) { dmParamsSetEnum(p, DM_IMAGE_PACKING, DM_PACKING_RGB555); }, true},
        {"MVC1 in QuickTime", QT, [](DMparams *p) { setScheme(p, "MVC1"); }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const bool audio = c.medium == A;
        MemMovie movie(c.medium == QT ? MV_FORMAT_QUICKTIME : MV_FORMAT_NATIVE_3);
        Params p = audio ? audioParams() : imageParams(320, 240);
        c.change(p.get());
        MVid track = 0;
        EXPECT_EQ(mvAddTrack(movie.id(), audio ? A : I, p.get(), nullptr, &track), c.accepted ? 0 : -1);
        if (!c.accepted) {
            EXPECT_EQ(mvGetErrno(), audio ? MV_ERR_AUDIO_SETTINGS : MV_ERR_IMAGE_SETTINGS);
            EXPECT_EQ(__mvMV_TrackCount(movie.id()), 0);
        }
    }
}

TEST(MovieSettings, BadValuesAndTypesAreRefusedAndChangeNothingAndUserParametersAreStrings)
{
    MemMovie movie;
    ASSERT_EQ(mvSetLoopLimit(movie.id(), 4), 0);
    Params p = newParams();
    dmParamsSetEnum(p.get(), MV_LOOP_MODE, 3);
    dmParamsSetInt(p.get(), MV_LOOP_LIMIT, 9);
    EXPECT_TRUE(failsWith(mvSetParams(movie.id(), p.get(), nullptr), MV_ERR_MOVIE_SETTINGS));
    EXPECT_EQ(std::pair(mvGetLoopMode(movie.id()), mvGetLoopLimit(movie.id())), std::pair(int(MV_LOOP_ONCE), 4));

    EXPECT_TRUE(failsWith(mvSetLoopLimit(movie.id(), -1), MV_ERR_MOVIE_SETTINGS));
    Params format = newParams();
    dmParamsSetEnum(format.get(), MV_FILE_FORMAT, 4);
    EXPECT_EQ(mvSetParams(movie.id(), format.get(), nullptr), -1);
    EXPECT_TRUE(failsWith(mvSetMovieDefaults(format.get(), 4), MV_ERR_MOVIE_SETTINGS));

    // A wrong type takes nothing of the list.
    ASSERT_EQ(mvSetTitle(movie.id(), "Before"), 0);
    Params typed = newParams();
    dmParamsSetEnum(typed.get(), MV_LOOP_MODE, MV_LOOP_SWING);
    dmParamsSetInt(typed.get(), MV_TITLE, 12);
    EXPECT_TRUE(failsWith(mvSetParams(movie.id(), typed.get(), nullptr), MV_ERR_WRONG_TYPE));
    EXPECT_STREQ(mvGetTitle(movie.id()), "Before");
    EXPECT_EQ(mvGetLoopMode(movie.id()), MV_LOOP_ONCE);

    // User parameters: ignored until registered, then kept; they must be
    // strings.
    Params user = newParams();
    dmParamsSetString(user.get(), "MODEL_DIRECTOR", "Smith");
    ASSERT_EQ(mvSetParams(movie.id(), user.get(), nullptr), 0);
    EXPECT_FALSE(dmParamsIsPresent(mvGetParams(movie.id()), "MODEL_DIRECTOR"));

    ASSERT_EQ(mvAddUserParam("MODEL_DIRECTOR"), 0);
    ASSERT_EQ(mvAddUserParam("MODEL_DIRECTOR"), 0);
    Params returned = newParams();
    ASSERT_EQ(mvSetParams(movie.id(), user.get(), returned.get()), 0);
    EXPECT_STREQ(dmParamsGetString(mvGetParams(movie.id()), "MODEL_DIRECTOR"), "Smith");
    EXPECT_STREQ(dmParamsGetString(returned.get(), "MODEL_DIRECTOR"), "Smith");

    Params bad = newParams();
    dmParamsSetInt(bad.get(), "MODEL_DIRECTOR", 7);
    EXPECT_TRUE(failsWith(mvSetParams(movie.id(), bad.get(), nullptr), MV_ERR_USER_PARAM_TYPE));

    // Tracks take user parameters too, at creation and later.
    Params track = audioParams();
    dmParamsSetString(track.get(), "MODEL_DIRECTOR", "Jones");
    MVid audio = movie.addAudio(track);
    ASSERT_NE(audio, 0);
    EXPECT_STREQ(dmParamsGetString(mvGetParams(audio), "MODEL_DIRECTOR"), "Jones");
    dmParamsSetInt(track.get(), "MODEL_DIRECTOR", 1);
    EXPECT_EQ(movie.addAudio(track), 0);
    EXPECT_EQ(mvGetErrno(), MV_ERR_USER_PARAM_TYPE);
}

TEST(TrackSettings, DefaultsAreFilledInUnchangeableSettingsStayAndChangeableOnesChange)
{
    MemMovie movie;
    MVid image = movie.addImage(imageParams(8, 6));
    MVid audio = movie.addAudio(audioParams());
    EXPECT_EQ(std::tuple(mvGetDefaultVol(audio), mvGetTrackMedium(audio), mvGetTrackLength(audio)),
              std::tuple(1.0, int(DM_MEDIUM_AUDIO), 0));

    Params withVolume = audioParams();
    dmParamsSetFloat(withVolume.get(), MV_DEFAULT_VOL, 0.25);
    EXPECT_EQ(mvGetDefaultVol(movie.addAudio(withVolume)), 0.25);

    MVid xbgr = movie.addImage(imageParams(8, 6, DM_PACKING_XBGR));
    EXPECT_EQ(mvGetTrackMedium(xbgr), DM_MEDIUM_IMAGE);
    // The virtual format describes the same picture, uncompressed.
    DMparams *virtualFormat = __mvT_GetVirtualFormat(xbgr);
    EXPECT_EQ(dmParamsGetInt(virtualFormat, DM_IMAGE_WIDTH), 8);
    EXPECT_EQ(dmImageFrameSize(virtualFormat), 8u * 6u * 4u);
    EXPECT_EQ(__mvT_GetVirtualFormat(audio), mvGetParams(audio));

    Params p = newParams();
    dmParamsSetInt(p.get(), DM_IMAGE_WIDTH, 640);
    dmParamsSetFloat(p.get(), DM_IMAGE_RATE, 24.0);
    dmParamsSetString(p.get(), MV_SMPTE_START, "01:00:00:00");
    Params returned = newParams();
    ASSERT_EQ(mvSetParams(image, p.get(), returned.get()), 0);
    EXPECT_EQ(std::tuple(mvGetImageWidth(image), mvGetImageRate(image),
                         dmParamsGetFloat(__mvT_GetVirtualFormat(image), DM_IMAGE_RATE)),
              std::tuple(8, 24.0, 24.0));
    EXPECT_STREQ(mvGetTrackSMPTEStart(image), "01:00:00:00");
    EXPECT_FALSE(dmParamsIsPresent(returned.get(), DM_IMAGE_WIDTH));
    EXPECT_TRUE(dmParamsIsPresent(returned.get(), DM_IMAGE_RATE));

    // Unchangeable settings are still checked.
    Params wide = newParams();
    dmParamsSetInt(wide.get(), DM_IMAGE_WIDTH, 0);
    EXPECT_TRUE(failsWith(mvSetParams(image, wide.get(), nullptr), MV_ERR_IMAGE_SETTINGS));
    EXPECT_EQ(mvSetImageRate(image, 0.5), -1);
    EXPECT_EQ(mvGetImageRate(image), 24.0);

    Params sound = newParams();
    dmParamsSetInt(sound.get(), DM_AUDIO_CHANNELS, 1);
    dmParamsSetFloat(sound.get(), MV_DEFAULT_VOL, 0.5);
    ASSERT_EQ(mvSetParams(audio, sound.get(), nullptr), 0);
    EXPECT_EQ(std::pair(mvGetAudioChannels(audio), mvGetDefaultVol(audio)), std::pair(2, 0.5));
    EXPECT_TRUE(failsWith(mvSetDefaultVol(audio, -0.1), MV_ERR_AUDIO_SETTINGS));
    EXPECT_EQ(mvSetTrackSMPTEStart(audio, "00:00:10:00"), 0);
    EXPECT_STREQ(mvGetTrackSMPTEStart(audio), "00:00:10:00");

    Params wrongType = newParams();
    dmParamsSetInt(wrongType.get(), MV_DEFAULT_VOL, 1);
    EXPECT_TRUE(failsWith(mvSetParams(audio, wrongType.get(), nullptr), MV_ERR_WRONG_TYPE));
    EXPECT_STREQ(__mvErrorDetail, MV_DEFAULT_VOL);
}

}  // namespace
