/* The public header compiled as C: a configuration made and checked through
 * C calls only. */
#include <cinelark/audio.h>

#include <stddef.h>

int audio_header_works_from_c(void) {
  ALconfig config = ALnewconfig();
  ALerrfunc previous;
  int ok;
  if (config == NULL) return 0;
  previous = ALseterrorhandler(NULL);
  ok = ALsetwidth(config, AL_WIDTH_24) == 0 && ALsetchannels(config, 4) == 0 &&
       ALsetchannels(config, 3) == -1 && ALnearestratecode(22050) == 20 &&
       _ALrate_table_size == 48 && _AL_atten_table[255] == 0x7FFFFF;
  ALseterrorhandler(previous);
  return ALfreeconfig(config) == 0 && ok;
}
