// A video codec registered with the compression library for the bridge's
// tests: it stores each byte of a frame complemented, records the
// parameters it is given, and refuses a frame on request, reporting through
// whatever error handler is installed.
#ifndef CINELARK_TESTS_PLAYBACK_PROBE_CODEC_H
#define CINELARK_TESTS_PLAYBACK_PROBE_CODEC_H

#include <map>

// The probe's name in the compression library.
inline constexpr const char *kProbeName = "Bridge Probe";

struct ProbeRecord {
    std::map<int, int> params;  // the last value set for each identifier
    int compressions = 0;
    bool refuseNext = false;
};

// Registers the probe once; returns its scheme.
int probeScheme();
ProbeRecord &probeRecord();

#endif
