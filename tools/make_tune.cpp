// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the background tune as a Standard MIDI File (format 1).
//
//   make_tune [output-folder]     (default: data)
//
// The music lives in the tables below: one melody string and one chord string
// per bar. The rest of the file expands them into parts and serialises them.
// The last bar sits on the dominant so the tune rolls straight back into its
// opening when the player loops it.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr int kEighth = kTicksPerQuarter / 2;
constexpr int kEighthsPerBar = 8; // 4/4
constexpr int kBar = kEighth * kEighthsPerBar;
constexpr int kBeatsPerMinute = 100;

// Melody, F major. Tokens are NOTE:LENGTH with LENGTH in eighths, "r" is a rest.
// Every bar must add up to a full 4/4 bar.
constexpr std::string_view kMelody[] = {
    // A: a rising arpeggio answered by a gentle fall
    "C5:2 F5:2 A5:3 G5:1", // 1
    "F5:2 D5:2 A4:4",      // 2
    "Bb4:2 D5:2 F5:2 G5:2", "G5:3 F5:1 E5:2 C5:2",
    "C5:2 F5:2 A5:3 C6:1", // 5
    "C6:2 A5:2 E5:4", "F5:2 D5:2 E5:2 G5:2", "F5:6 r:2",
    // B: livelier, climbing through the subdominant side
    "D5:1 F5:1 Bb5:2 A5:2 F5:2", // 9
    "E5:1 G5:1 C6:2 Bb5:2 G5:2", "A5:2 E5:2 C5:2 E5:2", "F5:3 E5:1 D5:4",
    "D5:1 G5:1 Bb5:2 A5:2 G5:2", // 13
    "E5:2 G5:2 C6:4", "C6:2 A5:2 F5:2 D5:2", "D5:2 Bb4:2 C5:2 E5:2",
    // A': the opening again, turned upward, then left hanging on the dominant
    "C5:2 F5:2 A5:3 G5:1", // 17
    "F5:2 D5:2 A4:4", "Bb4:2 D5:2 F5:2 Bb5:2", "A5:2 G5:2 E5:2 C5:2",
    "F5:2 A5:2 C6:3 A5:1", // 21
    "G5:2 E5:2 C5:4", "D5:2 F5:2 Bb5:2 A5:2",
    "G5:4 E5:2 G4:2", // leads up into the first bar's C5
};

// One chord per half bar; a single name fills the whole bar.
constexpr std::string_view kChords[] = {
    "F",  "Dm", "Bb", "C",  "F",  "Am", "Bb C",  "F",    // A
    "Bb", "C",  "Am", "Dm", "Gm", "C",  "Am Dm", "Gm C", // B
    "F",  "Dm", "Bb", "C",  "F",  "Am", "Bb",    "C7",   // A'
};

static_assert(std::size(kMelody) == std::size(kChords));
constexpr int kBars = static_cast<int>(std::size(kMelody));

// General MIDI programs (zero-based) and channels.
constexpr int kVibraphone = 11;
constexpr int kElectricPiano = 4;
constexpr int kFingeredBass = 33;
constexpr int kMelodyChannel = 0;
constexpr int kChordChannel = 1;
constexpr int kBassChannel = 2;
constexpr int kDrumChannel = 9;

// GM percussion keys.
constexpr int kKick = 36;
constexpr int kSideStick = 37;
constexpr int kClosedHat = 42;

[[noreturn]] void fail(const std::string &what) {
  std::fprintf(stderr, "make_tune: %s\n", what.c_str());
  std::exit(1);
}

int pitchClass(std::string_view name, std::size_t &pos) {
  static constexpr int kNatural[] = {9, 11, 0, 2, 4, 5, 7}; // A..G
  if (name.empty() || name[0] < 'A' || name[0] > 'G') fail("bad note name: " + std::string(name));
  int pc = kNatural[name[0] - 'A'];
  pos = 1;
  if (pos < name.size() && name[pos] == 'b') {
    --pc;
    ++pos;
  } else if (pos < name.size() && name[pos] == '#') {
    ++pc;
    ++pos;
  }
  return (pc + 12) % 12;
}

// "Bb4" -> 70 (middle C is C4 = 60).
int noteNumber(std::string_view name) {
  std::size_t pos = 0;
  const int pc = pitchClass(name, pos);
  if (pos >= name.size()) fail("note without octave: " + std::string(name));
  return 12 * (std::stoi(std::string(name.substr(pos))) + 1) + pc;
}

struct Chord {
  int root;               // pitch class
  std::vector<int> tones; // semitones above the root, four of them
};

Chord parseChord(std::string_view name) {
  std::size_t pos = 0;
  Chord c{pitchClass(name, pos), {}};
  const std::string_view kind = name.substr(pos);
  if (kind.empty())
    c.tones = {0, 4, 7, 12};
  else if (kind == "m")
    c.tones = {0, 3, 7, 12};
  else if (kind == "7")
    c.tones = {0, 4, 7, 10};
  else
    fail("unknown chord: " + std::string(name));
  return c;
}

// Places a pitch class as the lowest note at or above `floor`.
int placeAbove(int pc, int floor) { return floor + ((pc - floor) % 12 + 12) % 12; }

struct Event {
  int tick;
  int order; // at equal ticks: note-offs first, so repeated notes retrigger
  std::vector<std::uint8_t> bytes;
};

class Track {
public:
  void meta(int tick, std::uint8_t type, const std::vector<std::uint8_t> &data) {
    std::vector<std::uint8_t> b{0xff, type, static_cast<std::uint8_t>(data.size())};
    b.insert(b.end(), data.begin(), data.end());
    events_.push_back({tick, 0, b});
  }
  void name(const std::string &text) { meta(0, 0x03, {text.begin(), text.end()}); }
  void program(int channel, int program) {
    events_.push_back(
        {0, 1, {static_cast<std::uint8_t>(0xc0 | channel), static_cast<std::uint8_t>(program)}});
  }
  void control(int channel, int number, int value) {
    events_.push_back({0,
                       1,
                       {static_cast<std::uint8_t>(0xb0 | channel),
                        static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(value)}});
  }
  void note(int channel, int start, int length, int key, int velocity) {
    const auto k = static_cast<std::uint8_t>(key);
    events_.push_back({start + length, 2, {static_cast<std::uint8_t>(0x80 | channel), k, 0}});
    events_.push_back({start,
                       3,
                       {static_cast<std::uint8_t>(0x90 | channel), k,
                        static_cast<std::uint8_t>(std::clamp(velocity, 1, 127))}});
  }

  // Serialises the events as an MTrk chunk closed by End of Track at `end`.
  std::vector<std::uint8_t> chunk(int end) const {
    std::vector<Event> sorted = events_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Event &a, const Event &b) {
      return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::vector<std::uint8_t> body;
    int now = 0;
    for (const Event &e : sorted) {
      putVarLen(body, e.tick - now);
      body.insert(body.end(), e.bytes.begin(), e.bytes.end());
      now = e.tick;
    }
    putVarLen(body, std::max(0, end - now));
    body.insert(body.end(), {0xff, 0x2f, 0x00});

    std::vector<std::uint8_t> out{'M', 'T', 'r', 'k'};
    put32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }

  static void put32(std::vector<std::uint8_t> &out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<std::uint8_t>(v >> shift));
  }

  // MIDI variable-length quantity: 7 bits per byte, high bit set on all but the last.
  static void putVarLen(std::vector<std::uint8_t> &out, int value) {
    auto v = static_cast<std::uint32_t>(value);
    std::uint8_t groups[5];
    int count = 0;
    do {
      groups[count++] = static_cast<std::uint8_t>(v & 0x7f);
      v >>= 7;
    } while (v != 0);
    while (count > 1)
      out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
  }

private:
  std::vector<Event> events_;
};

void setupChannel(Track &t, int channel, int program, int volume, int pan, int reverb) {
  t.program(channel, program);
  t.control(channel, 7, volume);
  t.control(channel, 10, pan);
  t.control(channel, 91, reverb);
}

Track conductor() {
  Track t;
  t.name("Zanthorix");
  constexpr std::uint32_t micros = 60'000'000 / kBeatsPerMinute;
  t.meta(0, 0x51,
         {static_cast<std::uint8_t>(micros >> 16), static_cast<std::uint8_t>(micros >> 8),
          static_cast<std::uint8_t>(micros)});
  t.meta(0, 0x58, {4, 2, 24, 8}); // 4/4
  t.meta(0, 0x59, {0xff, 0});     // one flat: F major
  return t;
}

Track melody() {
  Track t;
  t.name("Melody");
  setupChannel(t, kMelodyChannel, kVibraphone, 100, 64, 50);
  for (int bar = 0; bar < kBars; ++bar) {
    std::istringstream tokens{std::string(kMelody[bar])};
    int at = 0; // eighths into the bar
    for (std::string token; tokens >> token;) {
      const auto colon = token.find(':');
      if (colon == std::string::npos) fail("melody token without length: " + token);
      const int len = std::stoi(token.substr(colon + 1));
      const std::string name = token.substr(0, colon);
      if (name != "r") {
        // Lean on the downbeats a little so the line breathes.
        const int velocity = at == 0 ? 88 : at == 4 ? 82 : 74;
        t.note(kMelodyChannel, bar * kBar + at * kEighth, len * kEighth, noteNumber(name),
               velocity);
      }
      at += len;
    }
    if (at != kEighthsPerBar)
      fail("melody bar " + std::to_string(bar + 1) + " does not fill the bar");
  }
  return t;
}

std::vector<Chord> chordsOfBar(int bar) {
  std::istringstream names{std::string(kChords[bar])};
  std::vector<Chord> chords;
  for (std::string name; names >> name;)
    chords.push_back(parseChord(name));
  if (chords.empty() || chords.size() > 2)
    fail("bar " + std::to_string(bar + 1) + " needs one or two chords");
  return chords;
}

// Chord at a given eighth of the bar.
const Chord &chordAt(const std::vector<Chord> &chords, int eighth) {
  return chords.size() == 1 || eighth < kEighthsPerBar / 2 ? chords[0] : chords[1];
}

Track arpeggio() {
  Track t;
  t.name("Arpeggio");
  setupChannel(t, kChordChannel, kElectricPiano, 80, 44, 60);
  // Indexes into the chord tones, one per eighth; each half starts fresh.
  constexpr int kPattern[kEighthsPerBar] = {0, 2, 3, 2, 1, 2, 3, 2};
  for (int bar = 0; bar < kBars; ++bar) {
    const auto chords = chordsOfBar(bar);
    for (int e = 0; e < kEighthsPerBar; ++e) {
      const Chord &c = chordAt(chords, e);
      const int root = placeAbove(c.root, 48); // C3..B3 keeps it under the melody
      const int velocity = e % 2 == 0 ? 58 : 48;
      t.note(kChordChannel, bar * kBar + e * kEighth, kEighth, root + c.tones[kPattern[e]],
             velocity);
    }
  }
  return t;
}

Track bass() {
  Track t;
  t.name("Bass");
  setupChannel(t, kBassChannel, kFingeredBass, 96, 64, 30);
  for (int bar = 0; bar < kBars; ++bar) {
    const auto chords = chordsOfBar(bar);
    for (int half = 0; half < 2; ++half) {
      const Chord &c = chordAt(chords, half * 4);
      const int root = placeAbove(c.root, 36); // C2..B2
      const int start = bar * kBar + half * 4 * kEighth;
      // Dotted quarter on the root, then a pickup on the fifth.
      t.note(kBassChannel, start, 3 * kEighth, root, half == 0 ? 92 : 84);
      t.note(kBassChannel, start + 3 * kEighth, kEighth, root + 7, 70);
    }
  }
  return t;
}

Track drums() {
  Track t;
  t.name("Drums");
  t.program(kDrumChannel, 0); // standard kit
  t.control(kDrumChannel, 7, 70);
  t.control(kDrumChannel, 91, 40);
  constexpr int hit = kEighth / 2;
  for (int bar = 0; bar < kBars; ++bar) {
    const int start = bar * kBar;
    for (int e = 0; e < kEighthsPerBar; ++e)
      t.note(kDrumChannel, start + e * kEighth, hit, kClosedHat, e % 2 == 0 ? 44 : 30);
    t.note(kDrumChannel, start, hit, kKick, 60);
    t.note(kDrumChannel, start + 4 * kEighth, hit, kKick, 50);
    t.note(kDrumChannel, start + 2 * kEighth, hit, kSideStick, 42);
    t.note(kDrumChannel, start + 6 * kEighth, hit, kSideStick, 42);
  }
  return t;
}

} // namespace

int main(int argc, char **argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : "data";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);

  const std::vector<Track> tracks = {conductor(), melody(), arpeggio(), bass(), drums()};
  // Every track ends exactly on the final barline so the loop is seamless.
  const int end = kBars * kBar;

  std::vector<std::uint8_t> file{'M', 'T', 'h', 'd'};
  Track::put32(file, 6);
  const auto put16 = [&file](int v) {
    file.push_back(static_cast<std::uint8_t>(v >> 8));
    file.push_back(static_cast<std::uint8_t>(v));
  };
  put16(1); // format 1: simultaneous tracks
  put16(static_cast<int>(tracks.size()));
  put16(kTicksPerQuarter);
  for (const Track &t : tracks) {
    const auto chunk = t.chunk(end);
    file.insert(file.end(), chunk.begin(), chunk.end());
  }

  const auto path = dir / "bgmusic.mid";
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) fail("could not write " + path.string());
  return 0;
}
