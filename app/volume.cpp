// The output volume of the movie window's slider, in percent. The audio
// device's left and right gains (0 to 255) are this process's own software
// gain, so the slider never changes other programs' sound. Errors of the
// audio port library are silenced: without a device the volume reads 0.
//
// A movie whose sound cannot reach a device still plays, silently, paced by
// the engine's timer; the user is told so once on standard error.
#include <Xm/ScrollBar.h>

#include <cstdio>

#include <cinelark/audio.h>

#include "movie_controller.h"
#include "settings.h"

namespace {

void silent(long, const char *, ...) {}

void writeGains(long gain)
{
    long pairs[4] = {AL_PARAM_LEFT_GAIN, gain, AL_PARAM_RIGHT_GAIN, gain};
    ALerrfunc previous = ALseterrorhandler(silent);
    ALsetparams(AL_DEFAULT_DEVICE, pairs, 4);
    ALseterrorhandler(previous);
}

bool readGains(long *left, long *right)
{
    long pairs[4] = {AL_PARAM_LEFT_GAIN, 0, AL_PARAM_RIGHT_GAIN, 0};
    ALerrfunc previous = ALseterrorhandler(silent);
    int rc = ALgetparams(AL_DEFAULT_DEVICE, pairs, 4);
    ALseterrorhandler(previous);
    *left = pairs[1];
    *right = pairs[3];
    return rc >= 0 && *left >= 0 && *left <= 255 && *right >= 0 && *right <= 255;
}

}  // namespace

int MovieController::getCurVolume()
{
    long left = 0, right = 0;
    if (!readGains(&left, &right))
        return 0;
    return static_cast<int>(((left + right) / 2) * 100 / 255);
}

void MovieController::setCurVolume(int v)
{
    // 100 is never set: a drag far up stays at the last value below it.
    if (v < 0 || v >= 100)
        return;
    writeGains(v * 255 / 100);
    if (v >= 3)
        XtVaSetValues(volumeScrollBar_, XmNvalue, 100 - v, nullptr);
}

const char *MovieController::getCurVol()
{
    long left = 0, right = 0;
    if (!readGains(&left, &right))
        left = right = 0;
    std::snprintf(curVol_, sizeof curVol_, "%d", static_cast<int>((left + right) / 2));
    return curVol_;
}

bool MovieController::soundOutputWorks()
{
    // A port opened and closed again: the engine opens its own at bind.
    ALerrfunc previous = ALseterrorhandler(silent);
    ALconfig config = ALnewconfig();
    ALport port = config ? ALopenport("cinelark probe", "w", config) : nullptr;
    if (port)
        ALcloseport(port);
    if (config)
        ALfreeconfig(config);
    ALseterrorhandler(previous);
    return port != nullptr;
}

void MovieController::restoreSettings()
{
    const Settings settings = loadSettings();
    if (settings.volume >= 0)
        writeGains(settings.volume);
    muted_ = short(settings.muted);
}

void MovieController::rememberSettings()
{
    Settings settings;
    long left = 0, right = 0;
    if (readGains(&left, &right))
        settings.volume = int((left + right) / 2);
    settings.muted = muted_;
    // A settings file that cannot be written costs only the memory of them.
    saveSettings(settings);
}
