// SPDX-License-Identifier: GPL-3.0-or-later
// The check a MIDI file passes before the synthesizer gets it. Its player
// takes anything and parses on the audio thread, where a damaged file only
// shows as a piece that stops at once; read whole here, it is refused at
// open instead.
#pragma once

#include <cstddef>

namespace zanthorix {

// True when the bytes are a Standard MIDI File whose tracks are all there
// and well formed, with a note or some length to play.
bool IsMidiFile(const char *bytes, std::size_t size);

} // namespace zanthorix
