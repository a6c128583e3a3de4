// SPDX-License-Identifier: GPL-3.0-or-later
// What SDL2_mixer alone gives for a pop after a pause, in the best order:
// the pop converted before, the output opened on request and the pop
// started on the same thread as soon as the open returns; the output closed
// again a second after the pop. A line on stdin asks for a pop, end of input
// ends the program. Usage: bench_barepop <wave file>
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

namespace {

constexpr int kRate = 44100;
constexpr int kBufferFrames = 512;
constexpr int kWaveVolume = 100; // as the game's wave channel

bool Open() { return Mix_OpenAudioDevice(kRate, AUDIO_S16SYS, 2, kBufferFrames, nullptr, 0) == 0; }

} // namespace

int main(int argc, char **argv) {
  if (argc < 2 || SDL_Init(SDL_INIT_AUDIO) != 0 || !Open()) return 1;
  Mix_Chunk *pop = Mix_LoadWAV(argv[1]);
  Mix_CloseAudio();
  if (!pop) return 1;
  Mix_VolumeChunk(pop, kWaveVolume);
  char line[64];
  while (std::fgets(line, sizeof line, stdin)) {
    if (!Open()) return 1;
    Mix_PlayChannel(0, pop, 0);
    while (Mix_Playing(0))
      SDL_Delay(5);
    SDL_Delay(1000);
    Mix_CloseAudio();
    std::printf("done\n");
    std::fflush(stdout);
  }
  Mix_FreeChunk(pop);
  SDL_Quit();
  return 0;
}
