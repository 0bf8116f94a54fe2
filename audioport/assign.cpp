// Choosing a port's converters once, when it opens.
#include "converters.h"

namespace cinelark::audioport {

namespace {

// One row per channel layout, one column per sample format (8, 16, 24,
// float, double), in the order of SampleKind.
struct WriteRow {
  WriteBulk bulk[5];
  WriteWrap wrap[5];
};
struct ReadRow {
  ReadBulk bulk[5];
  ReadWrap wrap[5];
};

constexpr WriteRow kWriteMono = {
    {_ALWriteMonoToStereo_8t, _ALWriteMonoToStereo_16t, _ALWriteMonoToStereo_24t,
     _ALWriteMonoToStereo_ft, _ALWriteMonoToStereo_dt},
    {_ALWriteMonoToStereo_8w, _ALWriteMonoToStereo_16w, _ALWriteMonoToStereo_24w,
     _ALWriteMonoToStereo_fw, _ALWriteMonoToStereo_dw}};
constexpr WriteRow kWriteStereo = {
    {_ALWriteStereoToStereo_8t, _ALWriteStereoToStereo_16t, _ALWriteStereoToStereo_24t,
     _ALWriteStereoToStereo_f, _ALWriteStereoToStereo_d},
    {}};
constexpr WriteRow kWrite4To2 = {
    {_ALWrite4ChanTo2Chan_8t, _ALWrite4ChanTo2Chan_16t, _ALWrite4ChanTo2Chan_24t,
     _ALWrite4ChanTo2Chan_ft, _ALWrite4ChanTo2Chan_dt},
    {_ALWrite4ChanTo2Chan_8w, _ALWrite4ChanTo2Chan_16w, _ALWrite4ChanTo2Chan_24w,
     _ALWrite4ChanTo2Chan_fw, _ALWrite4ChanTo2Chan_dw}};
constexpr WriteRow kWrite4To4 = {
    {_ALWrite4ChanTo4Chan_8t, _ALWrite4ChanTo4Chan_16t, _ALWrite4ChanTo4Chan_24t,
     _ALWrite4ChanTo4Chan_ft, _ALWrite4ChanTo4Chan_dt},
    {_ALWrite4ChanTo4Chan_8w, _ALWrite4ChanTo4Chan_16w, _ALWrite4ChanTo4Chan_24w,
     _ALWrite4ChanTo4Chan_fw, _ALWrite4ChanTo4Chan_dw}};

constexpr ReadRow kReadMono = {
    {_ALReadMonoFromStereo_8t, _ALReadMonoFromStereo_16t, _ALReadMonoFromStereo_24t,
     _ALReadMonoFromStereo_ft, _ALReadMonoFromStereo_dt},
    {_ALReadMonoFromStereo_8w, _ALReadMonoFromStereo_16w, _ALReadMonoFromStereo_24w,
     _ALReadMonoFromStereo_fw, _ALReadMonoFromStereo_dw}};
constexpr ReadRow kReadStereo = {
    {_ALReadStereoFromStereo_8, _ALReadStereoFromStereo_16, _ALReadStereoFromStereo_24,
     _ALReadStereoFromStereo_f, _ALReadStereoFromStereo_d},
    {}};
constexpr ReadRow kRead4From2 = {
    {_ALRead4ChanFromStereo_8t, _ALRead4ChanFromStereo_16t, _ALRead4ChanFromStereo_24t,
     _ALRead4ChanFromStereo_ft, _ALRead4ChanFromStereo_dt},
    {_ALRead4ChanFromStereo_8w, _ALRead4ChanFromStereo_16w, _ALRead4ChanFromStereo_24w,
     _ALRead4ChanFromStereo_fw, _ALRead4ChanFromStereo_dw}};
constexpr ReadRow kRead4From4 = {
    {_ALRead4ChanFrom4Chan_8t, _ALRead4ChanFrom4Chan_16t, _ALRead4ChanFrom4Chan_24t,
     _ALRead4ChanFrom4Chan_ft, _ALRead4ChanFrom4Chan_dt},
    {_ALRead4ChanFrom4Chan_8w, _ALRead4ChanFrom4Chan_16w, _ALRead4ChanFrom4Chan_24w,
     _ALRead4ChanFrom4Chan_fw, _ALRead4ChanFrom4Chan_dw}};

}  // namespace

Converters _ALassignfuncs(bool output, SampleKind kind, int caller_channels, int device_channels) {
  const int column = static_cast<int>(kind);
  Converters chosen;
  if (output) {
    const WriteRow* row = caller_channels == 1   ? &kWriteMono
                          : caller_channels == 2 ? &kWriteStereo
                          : device_channels == 4 ? &kWrite4To4
                                                 : &kWrite4To2;
    chosen.write_bulk = row->bulk[column];
    chosen.write_wrap = row->wrap[column];
  } else {
    const ReadRow* row = caller_channels == 1   ? &kReadMono
                         : caller_channels == 2 ? &kReadStereo
                         : device_channels == 4 ? &kRead4From4
                                                : &kRead4From2;
    chosen.read_bulk = row->bulk[column];
    chosen.read_wrap = row->wrap[column];
  }
  return chosen;
}

}  // namespace cinelark::audioport
